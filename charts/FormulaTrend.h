#pragma once

#include "formula/FormulaKind.h"
#include "history/DrawModel.h"

#include <QString>
#include <QStringList>
#include <vector>

class CompiledFormula;
class HistoryColumns;
struct FormulaRecord;

// What the chart "公式走势" is given: a formula's rolling rate over the history beside what pure
// chance gives over the same draws.
//
// At each draw t from the first with M scored draws behind it, over the draws t − M + 1 .. t
// (unweighted): the rate = right draws / M; the chance rate = Σ q_j / M, q_j being the chance the
// prediction in force was right on a fair draw (the back-test's chance figures with weighting off);
// the 95 % band = chance rate ± 1.96 × sqrt(Σ q_j (1 − q_j)) / M, the standard error of an M-draw
// rate, held to 0 .. 100 %. A rate outside the band happens by luck alone about once in 20 points.
// Misses are the shown draws the formula got wrong (a draw without an earlier value is a miss).
struct FormulaTrend
{
    static constexpr int kMinimumWindow = 10;
    static constexpr int kWindowWhenAllDraws = 100; // M when the look-back is "前所有期"
    static constexpr double kBandZ = 1.96;

    QString title;                  // "[个位单选杀] 公式" as the window names the formula
    int window = 0;                 // M as used
    QStringList issues;             // the issue of each point, oldest first
    std::vector<int> rows;          // the history row of each point
    std::vector<double> rate;       // per cent
    std::vector<double> chanceRate; // per cent
    std::vector<double> bandLower;  // per cent
    std::vector<double> bandUpper;  // per cent
    std::vector<bool> hit;          // the verdict of each point's own draw
    std::vector<int> misses;        // indexes of the points whose draw was a miss
    QString requirement;            // why nothing can be drawn (Chinese); empty when it can

    int pointCount() const { return static_cast<int>(rows.size()); }
    bool isDrawable() const { return requirement.isEmpty(); }

    // M for a look-back of `lookBackDraws` (0 = all draws): the look-back itself, at least 10.
    static int defaultWindow(int lookBackDraws);
    // The points of `formula` (kind, sense) over `history`, whose issues are `issues`; the newest
    // `lastDraws` points only when it is above 0. M is held to 1 .. the scored draws, and to at least
    // 10 where the history allows. The chance rate and band follow `model`.
    static FormulaTrend of(const HistoryColumns& history, const QStringList& issues,
                           const CompiledFormula& formula, const FormulaKind& kind, bool kill, int window,
                           int lastDraws = 0, const DrawModel& model = DrawModel::of(DrawOrder::AsDrawn));
    // The trend when no formula is chosen.
    static FormulaTrend noFormula();
    // How the charts name a formula: "[个位单选杀] 第3条 百位码+和数+3" by its idx (the code form when
    // the formula has no Chinese form; a kind's decoration in front of the Chinese form left out),
    // or with `number` > 0 by the 序号 the formula list shows: "[个位单选杀] 序号5 百位码+和数+3".
    static QString titleOf(const FormulaKind& kind, bool kill, const FormulaRecord& formula, int number = 0);

    // What hovering shows at point `index`: the issue, the rate, the chance rate, the band, the verdict.
    QString pointText(int index) const;
    // The share of shown points whose rate lies outside the band (per cent).
    double outsideBandShare() const;
};
