#include "backtest/PastRanking.h"

#include "formula/FormulaArithmetic.h"
#include "history/DrawRecord.h"
#include "history/HistoryColumns.h"

#include <algorithm>

namespace {

constexpr std::uint8_t kAllCovered = 0x3F; // bit p − 1 for the numbers p = 1..6
constexpr int kCodeOffset = 4;             // a column sum's code is its prediction + 4

// The votes of a block of draws, formula after formula, in the order the formulas are listed.
struct BlockVotes
{
    std::array<std::array<int, 6>, CompiledFormula::kBlockRows> counts{};
    std::array<std::uint8_t, CompiledFormula::kBlockRows> covered{};

    void clear(int rows)
    {
        std::fill_n(counts.begin(), rows, std::array<int, 6>{});
        std::fill_n(covered.begin(), rows, std::uint8_t(0));
    }

    void addKill(int row, int p)
    {
        if (p < 1 || p > 6)
            return; // no such number to count
        ++counts[row][p - 1];
        covered[row] |= std::uint8_t(1u << (p - 1));
    }

    void addKeep(int row, int p)
    {
        const bool onBoard = p >= 1 && p <= 6;
        const std::uint8_t bit = onBoard ? std::uint8_t(1u << (p - 1)) : std::uint8_t(0);
        const bool wasCovered = (covered[row] & bit) != 0;
        for (int& c : counts[row])
            ++c;
        covered[row] = kAllCovered;
        if (!wasCovered && onBoard) {
            --counts[row][p - 1];
            covered[row] &= std::uint8_t(~bit);
        }
    }
};

} // namespace

std::array<RankedNumber, 6> PastRanking::rank(const std::array<int, 6>& counts)
{
    std::array<RankedNumber, 6> ranking;
    for (int i = 0; i < 6; ++i)
        ranking[i] = {i + 1, counts[i]};
    std::stable_sort(ranking.begin(), ranking.end(),
                     [](const RankedNumber& a, const RankedNumber& b) { return a.count < b.count; });
    return ranking;
}

bool PastRanking::build(const std::vector<DrawRecord>& draws, const HistoryColumns& history,
                        const std::vector<CompiledFormula>& formulas, const std::vector<bool>& selected,
                        bool kill, std::vector<PastRankingDraw>* out, QString* error,
                        const Progress& progress, const std::atomic<bool>* cancel)
{
    out->clear();
    const int n = history.drawCount();
    if (static_cast<int>(draws.size()) != n) {
        *error = QStringLiteral("历史数据已改变，请重新查询。");
        return false;
    }
    if (selected.size() != formulas.size()) {
        *error = QStringLiteral("公式的选择标记与公式列表不一致。");
        return false;
    }
    // Only selected, valid formulas can change a count: the others are not even evaluated.
    std::vector<const CompiledFormula*> voters;
    std::size_t scratchSize = 1;
    for (std::size_t i = 0; i < formulas.size(); ++i) {
        if (selected[i] && formulas[i].isValid()) {
            voters.push_back(&formulas[i]);
            scratchSize = std::max(scratchSize, formulas[i].scratchSize());
        }
    }
    auto cancelled = [cancel] { return cancel && cancel->load(std::memory_order_relaxed); };

    std::vector<PastRankingDraw> result(n);
    std::vector<double> values(CompiledFormula::kBlockRows);
    std::vector<double> scratch(scratchSize);
    std::vector<std::int8_t> codes(CompiledFormula::kBlockRows);
    BlockVotes votes;
    for (int start = 0; start < n; start += CompiledFormula::kBlockRows) {
        const int rows = std::min(CompiledFormula::kBlockRows, n - start);
        votes.clear(rows);
        for (const CompiledFormula* f : voters) {
            if (cancelled()) {
                *error = QStringLiteral("查询已取消。");
                return false;
            }
            if (const ColumnSum* sum = f->columnSum()) {
                // Integer sums: every row has a value, its prediction is code − 4.
                sum->predictionCodes(history, start, rows, codes.data());
                if (kill)
                    for (int r = 0; r < rows; ++r)
                        votes.addKill(r, codes[r] - kCodeOffset);
                else
                    for (int r = 0; r < rows; ++r)
                        votes.addKeep(r, codes[r] - kCodeOffset);
                continue;
            }
            f->evaluateBlock(history, start, rows, values.data(), scratch.data());
            for (int r = 0; r < rows; ++r) {
                const std::optional<int> p = FormulaArithmetic::predictedNumber(values[r]);
                if (!p)
                    continue;
                if (kill)
                    votes.addKill(r, *p);
                else
                    votes.addKeep(r, *p);
            }
        }
        for (int r = 0; r < rows; ++r) {
            const DrawRecord& d = draws[start + r];
            PastRankingDraw& entry = result[start + r];
            entry.issue = d.issue;
            entry.numbers = {d.number(1), d.number(2), d.number(3)};
            entry.ranking = rank(votes.counts[r]);
        }
        if (progress)
            progress(start + rows, n);
    }
    *out = std::move(result);
    return true;
}
