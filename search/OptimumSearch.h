#pragma once

#include "formula/FormulaStats.h"
#include "search/CandidateEvaluator.h"
#include "search/FormulaGenerator.h"

#include <QStringList>
#include <atomic>

// The running optimum of a sampling: best rate, longest miss run, longest hit run, final miss run
// and final hit run, in single precision.
struct OptimumFigures
{
    float rate = 0;
    float maxMissRun = 0;
    float maxHitRun = 0;
    float finalMissRun = 0;
    float finalHitRun = 0;
};

// Derives ranges for a kind from random candidates ("智能设置"): the first sample sets the optimum;
// every later one moves each figure halfway towards itself where it is better (a higher rate,
// longest hit run or final hit run, a lower longest miss run or final miss run).
class OptimumSearch
{
public:
    static void fold(const FormulaStats& sample, bool first, OptimumFigures* best);
    // Writes the optimum into five of the ten range box texts: rate from (the single-precision
    // number), longest miss run to, longest hit run from, final miss run to (each rounded, halves
    // up), final hit run from (rounded, but at least 1 when its whole part is 0).
    static void writeInto(const OptimumFigures& best, QStringList* boxTexts);

    // Takes `samples` samples; stops early when `cancel` is set. `done` counts the samples taken
    // (for a progress display); `last` receives the last sample's figures.
    static OptimumFigures sample(const CandidateEvaluator& evaluator, const GeneratorOptions& options,
                                 int samples, FormulaGenerator* generator, FormulaStats* last = nullptr,
                                 const std::atomic<bool>* cancel = nullptr, std::atomic<int>* done = nullptr);
};
