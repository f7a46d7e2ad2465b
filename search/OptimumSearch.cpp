#include "search/OptimumSearch.h"

#include "search/QualificationRanges.h"

#include <cmath>

namespace {

float halfway(float sample, float best)
{
    return (sample + best) / 2.0f;
}

QString roundedText(float v)
{
    return QString::number(static_cast<long long>(std::floor(double(v) + 0.5)));
}

} // namespace

void OptimumSearch::fold(const FormulaStats& s, bool first, OptimumFigures* best)
{
    const OptimumFigures sample{s.rate, float(s.maxMissRun), float(s.maxHitRun), float(s.finalMissRun),
                                float(s.finalHitRun)};
    if (first) {
        *best = sample;
        return;
    }
    if (sample.rate > best->rate)
        best->rate = halfway(sample.rate, best->rate);
    if (sample.maxMissRun < best->maxMissRun)
        best->maxMissRun = halfway(sample.maxMissRun, best->maxMissRun);
    if (sample.maxHitRun > best->maxHitRun)
        best->maxHitRun = halfway(sample.maxHitRun, best->maxHitRun);
    if (sample.finalMissRun < best->finalMissRun)
        best->finalMissRun = halfway(sample.finalMissRun, best->finalMissRun);
    if (sample.finalHitRun > best->finalHitRun)
        best->finalHitRun = halfway(sample.finalHitRun, best->finalHitRun);
}

void OptimumSearch::writeInto(const OptimumFigures& best, QStringList* boxTexts)
{
    while (boxTexts->size() < QualificationRanges::kBoxes)
        boxTexts->append(QString());
    (*boxTexts)[0] = QualificationRanges::boundText(best.rate);
    (*boxTexts)[3] = roundedText(best.maxMissRun);
    (*boxTexts)[4] = roundedText(best.maxHitRun);
    (*boxTexts)[7] = roundedText(best.finalMissRun);
    (*boxTexts)[8] = std::floor(best.finalHitRun) > 0 ? roundedText(best.finalHitRun) : QStringLiteral("1");
}

OptimumFigures OptimumSearch::sample(const CandidateEvaluator& evaluator, const GeneratorOptions& options,
                                     int samples, FormulaGenerator* generator, FormulaStats* last,
                                     const std::atomic<bool>* cancel, std::atomic<int>* done)
{
    OptimumFigures best;
    SearchCandidate candidate;
    for (int i = 0; i < samples; ++i) {
        if (cancel && cancel->load(std::memory_order_relaxed))
            break;
        generator->next(options, &candidate);
        const FormulaStats s = evaluator.evaluate(candidate);
        fold(s, i == 0, &best);
        if (last)
            *last = s;
        if (done)
            ++*done;
    }
    return best;
}
