#pragma once

#include "history/DrawModel.h"
#include "history/DrawRecord.h"

#include <QString>
#include <QStringList>
#include <array>
#include <vector>

// What the chart "号码走势" is given: the newest N draws oldest first (the newest at the right),
// the drawn number of each position (百位, 十位, 个位, 1..6), the 和数, and how often each number
// came in each position over those draws beside the count expected by chance: N / 6 for dice read
// as drawn; smallest first, 百位 mostly 1 and 个位 mostly 6, as the history's draw model says.
struct NumberTrend
{
    static constexpr int kDefaultDraws = 100;
    static constexpr int kMinimumDraws = 10;

    QStringList issues;                              // N issues, oldest first
    std::array<std::vector<int>, 3> numbers;         // [0] 百位, [1] 十位, [2] 个位; N values each
    std::vector<int> sums;                           // 和数 of each draw
    std::array<std::array<int, 6>, 3> counts{};      // counts[position][number − 1]
    double expectedCount = 0;                        // N / 6, every cell's expectation when uniform
    std::array<std::array<double, 6>, 3> expected{}; // by chance: expected[position][number − 1]
    bool uniformExpectation = true;                  // every position expects every number N / 6
    QString fairnessText;                            // the fairness check of these N draws, one line
    QString requirement;                             // why nothing can be drawn (Chinese); empty when it can

    int drawCount() const { return static_cast<int>(issues.size()); }
    bool isDrawable() const { return requirement.isEmpty(); }

    // The newest `lastDraws` draws, held to 10 .. the whole history (a shorter history is taken
    // whole). Fewer than two stored draws give no series and a requirement.
    static NumberTrend of(const std::vector<DrawRecord>& draws, int lastDraws,
                          const DrawModel& model = DrawModel::of(DrawOrder::AsDrawn));
    // The number of draws of() takes for a wish of `lastDraws`.
    static int clampedDraws(int drawCount, int lastDraws);
    static QString positionCaption(int position); // 0 百位, 1 十位, 2 个位

    // What hovering shows: the draw at `index` exactly, or how often `number` came in each position.
    QString drawText(int index) const;
    QString countText(int number) const;
};
