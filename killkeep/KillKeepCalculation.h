#pragma once

#include "backtest/BacktestEngine.h"
#include "formula/FormulaKind.h"
#include "killkeep/CalculationRun.h"

#include <QObject>
#include <QString>

class AllPositionsRankingWindow;
class FormulaGridModel;
class FormulaSortWindow;
class HistoryColumns;
class KillKeepWindow;
class QWidget;
class RankingWindow;
class ReplayWindow;
struct ReplayResult;
class Workspace;

// "计算公式(&C)": lets the best or the selected formulas of the list vote for the next draw (or
// for the draw after a typed issue) and shows the votes in the kill/keep ranking windows: the
// current table for a general selection, the single-selection tables from 个位 up to the current
// position for a single one. The windows stay open and are rebuilt in place by the next run.
class KillKeepCalculation : public QObject
{
    Q_OBJECT
public:
    // `formulas` is the main window's formula list, whose flags choose the current table's
    // formulas; `window` is the main window, parent of the dialogs and windows opened.
    KillKeepCalculation(Workspace* workspace, const FormulaGridModel* formulas, QWidget* window);

    struct Request
    {
        FormulaKind kind;
        bool kill = true;
        bool bestMethod = true; // 最优公式法 (asks for the order first); else 计算选中公式
        bool verify = false;    // 验证历史结果: the draw after `verifiedIssue`; else the next draw
        QString verifiedIssue;
        BacktestOptions backtest; // the session's options the figures are computed with
    };
    // The current kind's formulas vote with the list's flags; the window reloads the list first
    // when it shows another kind or sense, so they are the formulas shown. Tells the user, and
    // shows nothing, when there is no history, the issue cannot be verified or a table cannot be
    // read. Returns how many of the current table's formulas the best method walked (0 for the
    // selected-formulas method or when nothing was calculated).
    int run(const HistoryColumns& history, const Request& request);
    // 管理 → "计算方法回测": opens the replay window for the calculation the request describes
    // (asking for the best method's order first, as the calculation does), the list's flags
    // choosing among the current table's formulas. Nothing runs until the window's start button.
    void openReplay(const Request& request);

    RankingWindow* rankingWindow() const { return m_rankingWindow; }
    AllPositionsRankingWindow* allPositionsWindow() const { return m_allPositionsWindow; }
    FormulaSortWindow* sortWindow() const { return m_sortWindow; }
    ReplayWindow* replayWindow() const { return m_replayWindow; }

signals:
    // The replay window finished a replay (or showed a cancelled one): for the trend charts.
    void replayed(const ReplayResult& result);

private:
    // The core request of a window request; false when the best method's order was not given.
    bool calculationRequest(const Request& request, CalculationRequest* calculation);
    void showReplay(const CalculationRequest& calculation);
    KillKeepWindow* rankingWindowFor(bool general);
    void showDetailList();

    Workspace* m_workspace;
    const FormulaGridModel* m_formulas;
    QWidget* m_window;
    RankingWindow* m_rankingWindow = nullptr;
    AllPositionsRankingWindow* m_allPositionsWindow = nullptr;
    FormulaSortWindow* m_sortWindow = nullptr;
    ReplayWindow* m_replayWindow = nullptr;
    // The calculation the ranking windows show, for their "计算方法回测(&R)".
    CalculationRequest m_shown;
};
