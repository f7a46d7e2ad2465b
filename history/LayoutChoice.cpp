#include "history/LayoutChoice.h"

#include <algorithm>
#include <map>

namespace {

bool numbersInRange(const LayoutRowReading& r)
{
    return r.found && std::all_of(r.numbers.begin(), r.numbers.end(), [](int n) { return n >= 1 && n <= 6; });
}

int sumOf(const LayoutRowReading& r)
{
    return r.numbers[0] + r.numbers[1] + r.numbers[2];
}

} // namespace

bool LayoutChoice::readsInRange(const LayoutRowReading& reading, const std::vector<int>& sumPositions)
{
    if (!numbersInRange(reading))
        return false;
    return std::none_of(reading.positions.begin(), reading.positions.end(), [&](int p) {
        return std::find(sumPositions.begin(), sumPositions.end(), p) != sumPositions.end();
    });
}

LayoutChoice::Outcome LayoutChoice::choose(const std::vector<std::vector<LayoutRowReading>>& readings,
                                           const std::vector<std::vector<int>>& knownSums)
{
    Outcome outcome;
    const size_t rows = knownSums.size();
    outcome.sumPositions = knownSums;

    // Slots that hold the sum on every row a layout reads: their fields are sums on those rows.
    for (const auto& layout : readings) {
        std::map<int, int> agreeing; // slot -> rows where it holds the sum
        int read = 0;
        for (size_t r = 0; r < rows; ++r) {
            const LayoutRowReading& reading = layout[r];
            if (!readsInRange(reading, knownSums[r]))
                continue;
            ++read;
            for (const auto& b : reading.beside)
                if (b.value == sumOf(reading))
                    ++agreeing[b.slot];
        }
        for (const auto& [slot, count] : agreeing) {
            if (read == 0 || count != read)
                continue;
            for (size_t r = 0; r < rows; ++r) {
                const LayoutRowReading& reading = layout[r];
                if (!readsInRange(reading, knownSums[r]))
                    continue;
                for (const auto& b : reading.beside)
                    if (b.slot == slot)
                        outcome.sumPositions[r].push_back(b.position);
            }
        }
    }

    std::vector<int> scores(readings.size(), 0);
    for (size_t l = 0; l < readings.size(); ++l)
        for (size_t r = 0; r < rows; ++r)
            scores[l] += readsInRange(readings[l][r], outcome.sumPositions[r]);
    const auto best = std::max_element(scores.begin(), scores.end());
    if (best == scores.end() || *best == 0)
        return outcome;
    outcome.layout = int(best - scores.begin());

    // An equally good layout that reads some row otherwise leaves the choice to chance.
    for (size_t l = 0; l < readings.size(); ++l) {
        if (int(l) == outcome.layout || scores[l] != *best)
            continue;
        for (size_t r = 0; r < rows; ++r) {
            const LayoutRowReading& a = readings[outcome.layout][r];
            const LayoutRowReading& b = readings[l][r];
            if (readsInRange(a, outcome.sumPositions[r]) && readsInRange(b, outcome.sumPositions[r]) &&
                a.numbers != b.numbers) {
                outcome.rival = int(l);
                outcome.ambiguousRow = int(r);
                return outcome;
            }
        }
    }
    return outcome;
}
