#include "backtest/ChanceSummary.h"

#include "history/DrawFairness.h"

#include <cmath>

ChanceSummary ChanceSummary::of(const std::vector<FormulaOutcome>& outcomes, const DrawFairness* fairness)
{
    ChanceSummary s;
    s.historyUnlikeFairDice = fairness && !fairness->fits();
    double rates = 0, chances = 0, holdOutRates = 0, holdOutChances = 0;
    for (const FormulaOutcome& o : outcomes) {
        if (o.valid && o.holdOut.tested > 0) {
            ++s.holdOutFormulas;
            holdOutRates += o.holdOut.plainRate();
            holdOutChances += o.holdOut.chanceRate;
        }
        if (!o.valid || !o.chance.p)
            continue;
        ++s.formulas;
        rates += double(o.stats.rate);
        chances += o.chance.chanceRate;
        if (*o.chance.p < kLevel)
            ++s.significant;
        if (o.q && *o.q < kLevel) {
            ++s.adjustedSignificant;
            if (o.holdOut.p && *o.holdOut.p < kLevel)
                ++s.holdOutConfirmed;
        }
    }
    if (s.holdOutFormulas > 0) {
        s.holdOutMeanRate = holdOutRates / s.holdOutFormulas;
        s.holdOutMeanChanceRate = holdOutChances / s.holdOutFormulas;
    }
    if (s.formulas == 0)
        return s;
    s.meanRate = rates / s.formulas;
    s.meanChanceRate = chances / s.formulas;
    s.expected = kLevel * s.formulas;
    return s;
}

QString ChanceSummary::text() const
{
    const QString holdOut = holdOutFormulas > 0 ? QStringLiteral("；留出期：平均正确率 %1%，机会率 %2%")
                                                      .arg(holdOutMeanRate, 0, 'f', 2)
                                                      .arg(holdOutMeanChanceRate, 0, 'f', 2)
                                                : QString();
    const QString fairness =
        historyUnlikeFairDice
            ? QStringLiteral("；注意：开奖历史与公平骰子不符，机会率是和公平骰子比较，不是和这个彩种比较")
            : QString();
    if (formulas == 0)
        return QStringLiteral("本类没有可以和机会率比较的公式") + holdOut + fairness;
    QString line =
        QStringLiteral("本类 %1 条公式：平均正确率 %2%，机会率 %3%；p<0.05 的有 %4 条，纯属运气时约有 %5 "
                       "条；校正多重比较后仍显著的有 %6 条")
            .arg(formulas)
            .arg(meanRate, 0, 'f', 2)
            .arg(meanChanceRate, 0, 'f', 2)
            .arg(significant)
            .arg(std::llround(expected))
            .arg(adjustedSignificant);
    if (adjustedSignificant == 0)
        line += QStringLiteral("，与随机无明显差别");
    else if (holdOutFormulas > 0)
        line += QStringLiteral("，其中留出期也高于机会的有 %1 条").arg(holdOutConfirmed);
    return line + holdOut + fairness;
}
