#include "backtest/PastRankingTask.h"

#include "backtest/BacktestRunner.h"
#include "ui/BackgroundTask.h"
#include "ui/MessageBoxes.h"

bool PastRankingTask::run(QWidget* parent, const std::vector<DrawRecord>& draws,
                          const HistoryColumns& history, const std::vector<FormulaRecord>& formulas,
                          const std::vector<bool>& selected, bool kill, std::vector<PastRankingDraw>* out)
{
    out->clear();
    if (!MessageBoxes::question(parent, PastRanking::confirmTitle(), PastRanking::confirmText()))
        return false;
    bool built = false;
    QString error;
    const bool finished = BackgroundTask::run(
        parent, QStringLiteral("正在计算往期位置值结果，请稍候..."), [&](TaskProgress& p) {
            const std::vector<CompiledFormula> compiled = BacktestRunner::compileAll(formulas);
            built = PastRanking::build(
                draws, history, compiled, selected, kill, out, &error,
                [&p](int done, int total) {
                    p.total = total;
                    p.done = done;
                },
                &p.cancelled);
        });
    if (!finished) {
        out->clear();
        return false;
    }
    if (!built) {
        MessageBoxes::warning(parent, QStringLiteral("公式往期位置值结果列表"), error);
        return false;
    }
    return true;
}
