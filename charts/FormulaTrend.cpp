#include "charts/FormulaTrend.h"

#include "backtest/BacktestEngine.h"
#include "backtest/ChanceFigures.h"
#include "formula/CompiledFormula.h"
#include "formula/FormulaRecord.h"
#include "history/HistoryColumns.h"

#include <algorithm>
#include <cmath>

int FormulaTrend::defaultWindow(int lookBackDraws)
{
    return std::max(kMinimumWindow, lookBackDraws > 0 ? lookBackDraws : kWindowWhenAllDraws);
}

FormulaTrend FormulaTrend::noFormula()
{
    FormulaTrend t;
    t.requirement =
        QStringLiteral("还没有选定公式：请在主窗口的公式列表中单击一条公式的序号或数字再按“走势图”，"
                       "或在公式上按右键选“查看该公式走势图”。");
    return t;
}

QString FormulaTrend::titleOf(const FormulaKind& kind, bool kill, const FormulaRecord& formula, int number)
{
    QString name = formula.gongshiCN.isEmpty() ? formula.gongshi : formula.gongshiCN;
    // The title names the kind and sense already: a leading "[十位通选杀]" of the Chinese form would
    // say it twice.
    const qsizetype close = name.startsWith(QLatin1Char('[')) ? name.indexOf(QLatin1Char(']')) : -1;
    if (close > 0 && close + 1 < name.size())
        name = name.mid(close + 1);
    return (number > 0 ? QStringLiteral("[%1%2] 序号%3 %4") : QStringLiteral("[%1%2] 第%3条 %4"))
        .arg(kind.kindText(), kill ? QStringLiteral("杀") : QStringLiteral("生"))
        .arg(number > 0 ? number : formula.idx)
        .arg(name);
}

FormulaTrend FormulaTrend::of(const HistoryColumns& history, const QStringList& issues,
                              const CompiledFormula& formula, const FormulaKind& kind, bool kill, int window,
                              int lastDraws, const DrawModel& model)
{
    FormulaTrend t;
    const int n = history.drawCount();
    if (n < 2 || issues.size() != n) {
        t.requirement = QStringLiteral("至少需要两期开奖号码才能画公式走势：请先更新或录入开奖历史。");
        return t;
    }
    if (!formula.isValid()) {
        t.requirement = QStringLiteral("这条公式无法计算，画不出走势：%1").arg(formula.error());
        return t;
    }
    const int scored = n - 1; // the oldest draw has no earlier draw and is never scored
    const int m = std::clamp(window, std::min(kMinimumWindow, scored), scored);
    t.window = m;

    const FormulaTrace trace = BacktestEngine::trace(history, formula, kind, kill);
    const int mask = DrawModel::maskOf(kind.checkedColumns());
    // q_j of each scored row: the prediction in force decides it.
    std::vector<double> q(n, 0.0);
    for (int r = 1; r < n; ++r) {
        if (const std::optional<int> p = trace.preCanshuPrediction(r))
            q[r] = *p >= 1 ? ChanceModel::chanceOf(model, mask, kill, *p) : (kill ? 1.0 : 0.0);
    }

    const int firstPointRow = m; // rows 1..m form the first full window
    const int firstShownRow = lastDraws > 0 ? std::max(firstPointRow, n - lastDraws) : firstPointRow;
    const int points = n - firstShownRow;
    t.rows.reserve(points);
    t.rate.reserve(points);
    t.chanceRate.reserve(points);
    t.bandLower.reserve(points);
    t.bandUpper.reserve(points);
    t.hit.reserve(points);
    // Prefix sums over rows 0..r: each point takes the difference over its M rows, so the whole
    // chart costs one pass however large M is.
    int hits = 0;
    double chance = 0, variance = 0;
    std::vector<int> hitPrefix(n + 1, 0);
    std::vector<double> qPrefix(n + 1, 0.0), varPrefix(n + 1, 0.0);
    for (int r = 0; r < n; ++r) {
        hits += r >= 1 ? trace.gscs[r] : 0;
        chance += q[r];
        variance += q[r] * (1 - q[r]);
        hitPrefix[r + 1] = hits;
        qPrefix[r + 1] = chance;
        varPrefix[r + 1] = variance;
    }
    for (int r = firstShownRow; r < n; ++r) {
        const int from = r - m + 1; // rows from..r
        const double rate = 100.0 * (hitPrefix[r + 1] - hitPrefix[from]) / m;
        const double expected = 100.0 * (qPrefix[r + 1] - qPrefix[from]) / m;
        const double spread = std::max(0.0, varPrefix[r + 1] - varPrefix[from]);
        const double halfWidth = 100.0 * kBandZ * std::sqrt(spread) / m;
        t.rows.push_back(r);
        t.issues << issues[r];
        t.rate.push_back(rate);
        t.chanceRate.push_back(expected);
        t.bandLower.push_back(std::max(0.0, expected - halfWidth));
        t.bandUpper.push_back(std::min(100.0, expected + halfWidth));
        const bool right = trace.gscs[r] != 0;
        t.hit.push_back(right);
        if (!right)
            t.misses.push_back(t.pointCount() - 1);
    }
    return t;
}

QString FormulaTrend::pointText(int index) const
{
    if (index < 0 || index >= pointCount())
        return QString();
    return QStringLiteral("第 %1 期：近 %2 期正确率 %3%，机会率 %4%（95% 运气范围 %5%–%6%），本期%7")
        .arg(issues[index])
        .arg(window)
        .arg(rate[index], 0, 'f', 2)
        .arg(chanceRate[index], 0, 'f', 2)
        .arg(bandLower[index], 0, 'f', 2)
        .arg(bandUpper[index], 0, 'f', 2)
        .arg(hit[index] ? QStringLiteral("对") : QStringLiteral("错"));
}

double FormulaTrend::outsideBandShare() const
{
    if (rows.empty())
        return 0;
    int outside = 0;
    for (int i = 0; i < pointCount(); ++i)
        outside += rate[i] < bandLower[i] || rate[i] > bandUpper[i];
    return 100.0 * outside / pointCount();
}
