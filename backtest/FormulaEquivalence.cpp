#include "backtest/FormulaEquivalence.h"

#include "formula/FormulaArithmetic.h"
#include "history/HistoryColumns.h"

#include <algorithm>
#include <cstring>
#include <thread>

namespace {

// Tokens go into the hash a byte each: the digit-carrying tokens reach 61.
constexpr int kTokenBits = 8;
constexpr int kTokensPerWord = 64 / kTokenBits;
// Formulas hashed together over one block of rows, so the block's columns stay in cache.
constexpr int kFormulasPerChunk = 64;
// Below this many formula-draw evaluations a second thread costs more than it saves.
constexpr long long kMinWorkPerExtraThread = 400000;

int chooseThreads(int requested, int tasks, long long work)
{
    if (requested > 0)
        return std::max(1, std::min(requested, tasks));
    const int hardware = std::max(1u, std::thread::hardware_concurrency());
    const long long byWork = std::max(1LL, work / kMinWorkPerExtraThread);
    return static_cast<int>(std::max(1LL, std::min<long long>({hardware, 8, tasks, byWork})));
}

// Runs task(i) for i = 0..count-1 on `threads` threads; the calling thread is one of them and
// reports progress. Stops handing out tasks once cancel is set.
template <typename Task>
void runTasks(int count, int threads, const std::atomic<bool>* cancel, const Task& task,
              const std::function<void(int)>& finished = {})
{
    std::atomic<int> next{0};
    std::atomic<int> done{0};
    auto work = [&](bool reports) {
        for (;;) {
            if (cancel && cancel->load(std::memory_order_relaxed))
                return;
            const int i = next.fetch_add(1);
            if (i >= count)
                return;
            task(i);
            const int d = done.fetch_add(1) + 1;
            if (reports && finished)
                finished(d);
        }
    };
    std::vector<std::thread> helpers;
    for (int t = 1; t < threads; ++t)
        helpers.emplace_back(work, false);
    work(true);
    for (std::thread& t : helpers)
        t.join();
}

bool sameTokens(const HistoryColumns& history, const CompiledFormula& formula,
                const std::vector<std::uint8_t>& expected, PredictionTokens::Reduction reduction,
                std::vector<double>& values, std::vector<double>& scratch)
{
    if (!formula.isValid() || expected.size() != std::size_t(history.drawCount()))
        return false;
    std::uint8_t tokens[CompiledFormula::kBlockRows];
    scratch.resize(std::max<std::size_t>(formula.scratchSize(), 1));
    const int n = history.drawCount();
    for (int start = 0; start < n; start += CompiledFormula::kBlockRows) {
        const int count = std::min(CompiledFormula::kBlockRows, n - start);
        PredictionTokens::ofBlock(history, formula, start, count, tokens, values.data(), scratch.data(),
                                  reduction);
        if (std::memcmp(tokens, expected.data() + start, std::size_t(count)) != 0)
            return false;
    }
    return true;
}

} // namespace

std::uint8_t PredictionTokens::ofValue(double x, Reduction r)
{
    int v = 0;
    return FormulaArithmetic::toInt32(x, &v) ? ofInteger(v, r) : noValue(r);
}

std::uint8_t PredictionTokens::ofInteger(long long v, Reduction r)
{
    if (r == Reduction::Number)
        return static_cast<std::uint8_t>((v - 1) % 6 + 1 + 5);
    // (v − 1) MOD 6 and v MOD 10 (both with the sign of the left operand, as MOD gives them) are
    // fixed by v's class modulo 30 once the sign side is known, and fix it in turn; v = 1 and
    // v = -29 share the remainder 0 but not the sign side, hence two ranges.
    const long long d = v - 1;
    const long long rem = d % 30;
    return static_cast<std::uint8_t>(d >= 0 ? rem + 1 : 31 - rem);
}

void PredictionTokens::ofBlock(const HistoryColumns& history, const CompiledFormula& formula, int first,
                               int count, std::uint8_t* out, double* values, double* scratch, Reduction r)
{
    formula.evaluateBlock(history, first, count, values, scratch);
    ofValues(values, count, out, r);
}

namespace {

// The NumberAndDigit token (as ofInteger gives it) by the remainder r = -30..30 of d = v − 1 by 30,
// on the side d >= 0 (row 0) or d < 0 (row 1); ±30 stands for 0 (a quotient that fell short).
struct DigitTokenTable
{
    std::uint8_t token[2][61] = {};
    constexpr DigitTokenTable()
    {
        for (int r = -30; r <= 30; ++r) {
            const int rem = (r == 30 || r == -30) ? 0 : r;
            token[0][r + 30] = static_cast<std::uint8_t>(rem >= 0 ? rem + 1 : 1);
            token[1][r + 30] = static_cast<std::uint8_t>(rem <= 0 ? 31 - rem : 31);
        }
    }
};
constexpr DigitTokenTable kDigitTokens;

} // namespace

void PredictionTokens::ofValues(const double* values, int count, std::uint8_t* out, Reduction r)
{
    // ofValue in doubles, the hot loop of the equivalence check: the value rounded half to even as
    // toInt32 rounds it, then the remainder r of d = v − 1 by 6 (or 30) with the sign of d. The
    // quotient is taken by multiplying with 1/6 (1/30), which may fall just short of a whole
    // quotient and leave r = ±6 (±30) for 0; a table folds that back without a branch. All exact:
    // |d| is far below 2^31.
    constexpr double kRounder = 6755399441055744.0;
    if (r == Reduction::Number) {
        constexpr double kSixth = 1.0 / 6.0;
        // Token of each r = -6..6: r + 6, with ±6 meaning 0.
        static constexpr std::uint8_t kTokenOfRemainder[13] = {6, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 6};
        for (int i = 0; i < count; ++i) {
            const double x = values[i];
            const bool inRange = x >= -2147483648.5 && x < 2147483647.5; // false for NaN
            const double d = (((inRange ? x : 1.0) + kRounder) - kRounder) - 1.0;
            const int remainder = static_cast<int>(d - 6.0 * double(static_cast<int>(d * kSixth)));
            out[i] = inRange ? kTokenOfRemainder[remainder + 6] : kNoValue;
        }
        return;
    }
    constexpr double kThirtieth = 1.0 / 30.0;
    for (int i = 0; i < count; ++i) {
        const double x = values[i];
        const bool inRange = x >= -2147483648.5 && x < 2147483647.5;
        const double d = (((inRange ? x : 1.0) + kRounder) - kRounder) - 1.0;
        const int remainder = static_cast<int>(d - 30.0 * double(static_cast<int>(d * kThirtieth)));
        out[i] = inRange ? kDigitTokens.token[d < 0 ? 1 : 0][remainder + 30] : kNoDigitValue;
    }
}

std::vector<std::uint8_t> PredictionTokens::ofFormula(const HistoryColumns& history,
                                                      const CompiledFormula& formula, Reduction r)
{
    const int n = history.drawCount();
    std::vector<std::uint8_t> tokens(std::size_t(std::max(n, 0)));
    std::vector<double> values(CompiledFormula::kBlockRows);
    std::vector<double> scratch(std::max<std::size_t>(formula.scratchSize(), 1));
    for (int start = 0; start < n; start += CompiledFormula::kBlockRows)
        ofBlock(history, formula, start, std::min(CompiledFormula::kBlockRows, n - start),
                tokens.data() + start, values.data(), scratch.data(), r);
    return tokens;
}

void PredictionHash::add(const std::uint8_t* tokens, int count)
{
    int i = 0;
    // Lead-in until a word starts, then whole words at a time (the usual case: blocks of rows start
    // on word boundaries), then the rest.
    for (; i < count && m_shift != 0; ++i) {
        m_word |= std::uint64_t(tokens[i]) << m_shift;
        m_shift = (m_shift + kTokenBits) % 64;
        if (m_shift == 0) {
            mix(m_word);
            m_word = 0;
        }
    }
    for (; i + kTokensPerWord <= count; i += kTokensPerWord) {
        std::uint64_t word = 0;
        for (int k = 0; k < kTokensPerWord; ++k)
            word |= std::uint64_t(tokens[i + k]) << (k * kTokenBits);
        mix(word);
    }
    for (; i < count; ++i) {
        m_word |= std::uint64_t(tokens[i]) << m_shift;
        m_shift += kTokenBits;
    }
    m_count += count;
}

std::uint64_t PredictionHash::value() const
{
    // The partial word and the length close the hash: tokens are never 0, so a shorter sequence
    // cannot pass for a longer one, but the length makes that explicit.
    PredictionHash h = *this;
    h.mix(h.m_word);
    h.mix(std::uint64_t(h.m_count));
    std::uint64_t x = h.m_state;
    x ^= x >> 33;
    x *= 0xFF51AFD7ED558CCDULL;
    x ^= x >> 33;
    x *= 0xC4CEB9FE1A85EC53ULL;
    x ^= x >> 33;
    return x;
}

void PredictionHash::mix(std::uint64_t word)
{
    m_state = (m_state ^ word) * 0x9E3779B97F4A7C15ULL;
    m_state ^= m_state >> 29;
}

std::vector<FormulaEquivalence::RowRange> FormulaEquivalence::keyRows(int drawCount)
{
    std::vector<RowRange> rows;
    const int blocks =
        (std::max(drawCount, 0) + CompiledFormula::kBlockRows - 1) / CompiledFormula::kBlockRows;
    const int taken = std::min(blocks, kKeyBlocks);
    for (int k = 0; k < taken; ++k) {
        // Evenly from the first block to the last, which may be short.
        const int block = taken == 1 ? 0 : int((static_cast<long long>(k) * (blocks - 1)) / (taken - 1));
        const int first = block * CompiledFormula::kBlockRows;
        rows.push_back({first, std::min(CompiledFormula::kBlockRows, drawCount - first)});
    }
    return rows;
}

std::uint64_t FormulaEquivalence::key(const HistoryColumns& history, const CompiledFormula& formula,
                                      PredictionTokens::Reduction reduction)
{
    std::vector<double> values(CompiledFormula::kBlockRows);
    std::vector<double> scratch(std::max<std::size_t>(formula.scratchSize(), 1));
    std::uint8_t tokens[CompiledFormula::kBlockRows];
    PredictionHash h;
    for (const RowRange& r : keyRows(history.drawCount())) {
        PredictionTokens::ofBlock(history, formula, r.first, r.count, tokens, values.data(), scratch.data(),
                                  reduction);
        h.add(tokens, r.count);
    }
    return h.value();
}

bool FormulaEquivalence::samePredictions(const HistoryColumns& history, const CompiledFormula& formula,
                                         const std::vector<std::uint8_t>& tokens,
                                         PredictionTokens::Reduction reduction)
{
    std::vector<double> values(CompiledFormula::kBlockRows), scratch;
    return sameTokens(history, formula, tokens, reduction, values, scratch);
}

std::vector<int> FormulaEquivalence::firstEquivalents(const HistoryColumns& history,
                                                      const std::vector<CompiledFormula>& formulas,
                                                      PredictionTokens::Reduction reduction, int threads,
                                                      const Progress& progress,
                                                      const std::atomic<bool>* cancel)
{
    const int n = static_cast<int>(formulas.size());
    const int draws = history.drawCount();
    // Without a stored draw every formula would "agree on every draw"; nothing can be told apart,
    // so none is called equivalent (and none offered for deletion).
    if (draws == 0)
        return std::vector<int>(std::size_t(n), -1);
    std::vector<std::uint64_t> hashes(n);
    std::size_t scratchSize = 1;
    for (const CompiledFormula& f : formulas)
        scratchSize = std::max(scratchSize, f.scratchSize());

    // Every formula's key, chunk by chunk: the sampled rows outside, the chunk's formulas inside.
    const std::vector<RowRange> sample = keyRows(draws);
    long long sampled = 0;
    for (const RowRange& r : sample)
        sampled += r.count;
    const int chunks = (n + kFormulasPerChunk - 1) / kFormulasPerChunk;
    const int threadCount = chooseThreads(threads, std::max(chunks, 1), static_cast<long long>(n) * sampled);
    runTasks(
        chunks, threadCount, cancel,
        [&](int chunk) {
            const int first = chunk * kFormulasPerChunk;
            const int count = std::min(kFormulasPerChunk, n - first);
            std::vector<PredictionHash> hashers(count);
            std::vector<double> values(CompiledFormula::kBlockRows);
            std::vector<double> scratch(scratchSize);
            std::uint8_t tokens[CompiledFormula::kBlockRows];
            for (const RowRange& r : sample) {
                for (int i = 0; i < count; ++i) {
                    const CompiledFormula& f = formulas[first + i];
                    if (!f.isValid())
                        continue;
                    PredictionTokens::ofBlock(history, f, r.first, r.count, tokens, values.data(),
                                              scratch.data(), reduction);
                    hashers[i].add(tokens, r.count);
                }
            }
            for (int i = 0; i < count; ++i)
                hashes[first + i] = hashers[i].value();
        },
        [&](int done) {
            if (progress)
                progress(std::min(n, done * kFormulasPerChunk), n);
        });
    if (cancel && cancel->load())
        return {};

    // Formulas sharing a key, each group in list order.
    std::vector<int> order;
    for (int i = 0; i < n; ++i)
        if (formulas[i].isValid())
            order.push_back(i);
    std::sort(order.begin(), order.end(),
              [&](int a, int b) { return hashes[a] != hashes[b] ? hashes[a] < hashes[b] : a < b; });
    std::vector<std::vector<int>> groups;
    for (std::size_t i = 0; i < order.size();) {
        std::size_t j = i + 1;
        while (j < order.size() && hashes[order[j]] == hashes[order[i]])
            ++j;
        if (j - i > 1)
            groups.emplace_back(order.begin() + long(i), order.begin() + long(j));
        i = j;
    }

    // Confirmed token by token on every draw: the first of a group against the others; those that
    // differ (on a draw outside the sample, or by a collision of hashes) form a group of their own.
    std::vector<int> first(n, -1);
    long long confirmWork = 0;
    for (const std::vector<int>& g : groups)
        confirmWork += static_cast<long long>(g.size()) * draws;
    runTasks(
        int(groups.size()), chooseThreads(threads, std::max<int>(1, int(groups.size())), confirmWork), cancel,
        [&](int g) {
            std::vector<double> values(CompiledFormula::kBlockRows), scratch;
            std::vector<int> remaining = groups[g];
            while (remaining.size() > 1) {
                const int representative = remaining.front();
                const std::vector<std::uint8_t> expected =
                    PredictionTokens::ofFormula(history, formulas[representative], reduction);
                std::vector<int> different;
                for (std::size_t k = 1; k < remaining.size(); ++k) {
                    if (sameTokens(history, formulas[remaining[k]], expected, reduction, values, scratch))
                        first[remaining[k]] = representative;
                    else
                        different.push_back(remaining[k]);
                }
                remaining = std::move(different);
            }
        });
    if (cancel && cancel->load())
        return {};
    if (progress)
        progress(n, n);
    return first;
}
