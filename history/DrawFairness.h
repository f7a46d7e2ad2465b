#pragma once

#include "history/DrawModel.h"

#include <QString>
#include <vector>

class HistoryColumns;
struct DrawRecord;

// Whether the stored draws look like fair dice read in the model's order: a chi-square test of
// the counts against the model. As drawn the cells are the six numbers of each position (18
// cells, 15 degrees of freedom); ascending they are the 56 sorted outcomes, each expected in 1, 3
// or 6 of 216 throws (55 degrees of freedom).
struct DrawFairness
{
    // Below this p the history is called unlike fair dice.
    static constexpr double kRejectLevel = 0.001;

    struct Cell
    {
        QString label; // "百位1" as drawn, "112" ascending
        int observed = 0;
        double expected = 0;
    };

    DrawOrder order = DrawOrder::AsDrawn;
    int draws = 0;     // draws tested
    int unmatched = 0; // draws the model cannot publish (ascending model, unsorted draw)
    std::vector<Cell> cells;
    double chiSquare = 0;
    int degrees = 0;
    double p = 1;

    // The newest `lastDraws` draws (0: all).
    static DrawFairness of(const HistoryColumns& history, const DrawModel& model, int lastDraws = 0);
    static DrawFairness of(const std::vector<DrawRecord>& draws, const DrawModel& model, int lastDraws = 0);
    bool fits() const { return draws == 0 || (unmatched == 0 && p >= kRejectLevel); }
    // One line for the number trend tab: "近 N 期与公平骰子相符：χ²=…, p=…".
    QString text() const;
};
