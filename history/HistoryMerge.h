#pragma once

#include "history/DrawDeriver.h"
#include "history/DrawRecord.h"

#include <QString>
#include <utility>
#include <vector>

// New draws merged into the stored history in issue order (the time order). Each new draw is
// derived from the draw just before it, stored or new, so a draw that fills a gap of the history
// is chained from its true previous draw. Every stored draw after an inserted one is chained again
// from its own previous draw: the columns that depend on the previous draw (LX, LY) stay what
// typing the whole history in order gives.
class HistoryMerge
{
public:
    struct Result
    {
        std::vector<DrawRecord> added; // in issue order
        std::vector<int> addedFrom;    // the input each added draw was derived from
        int gapFills = 0;              // added draws that fall before the newest stored draw
        // Stored draws whose previous draw changed, with their columns as they become; only those
        // whose columns differ.
        std::vector<DrawRecord> rederived;
        std::vector<std::pair<int, QString>> refused; // the input and why
    };

    // `stored` in issue order; `inputs` in issue order, each issue once. Refused: an issue stored
    // already, an issue before the oldest stored draw (nothing precedes it to chain from, and the
    // draws after it would lose their place), and what DrawDeriver refuses.
    static Result merge(const std::vector<DrawRecord>& stored, const std::vector<DrawInput>& inputs);
    static QString beforeOldestText(const QString& issue, const QString& oldest);
};
