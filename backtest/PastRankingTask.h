#pragma once

#include "backtest/PastRanking.h"
#include "formula/FormulaRecord.h"

#include <vector>

class HistoryColumns;
class QWidget;

// "公式往期位置值结果列表" as the window runs it: asks the warning question, then builds the
// rankings on a worker thread behind a cancellable progress dialog.
class PastRankingTask
{
public:
    // False, with *out empty, when the user declines the question or cancels the build; a failure
    // is reported to the user. `formulas` is the current subset in list order, `selected` its flags.
    static bool run(QWidget* parent, const std::vector<DrawRecord>& draws, const HistoryColumns& history,
                    const std::vector<FormulaRecord>& formulas, const std::vector<bool>& selected, bool kill,
                    std::vector<PastRankingDraw>* out);
};
