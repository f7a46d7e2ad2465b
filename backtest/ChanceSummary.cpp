#include "backtest/ChanceSummary.h"

#include "backtest/ChanceFigures.h"

#include <QRegularExpression>
#include <cmath>

ChanceSummary ChanceSummary::of(const std::vector<FormulaOutcome>& outcomes)
{
    ChanceSummary s;
    double rates = 0, chances = 0;
    for (const FormulaOutcome& o : outcomes) {
        if (!o.valid || !o.chance.p)
            continue;
        ++s.formulas;
        rates += double(o.stats.rate);
        chances += o.chance.chanceRate;
        if (*o.chance.p < kLevel)
            ++s.significant;
    }
    if (s.formulas == 0)
        return s;
    s.meanRate = rates / s.formulas;
    s.meanChanceRate = chances / s.formulas;
    s.expected = kLevel * s.formulas;
    s.luckProbability = ChanceModel::binomialUpperTail(s.formulas, kLevel, s.significant);
    return s;
}

QString ChanceSummary::text() const
{
    if (formulas == 0)
        return QStringLiteral("本类没有可以和机会率比较的公式");
    // M to one decimal, without a trailing ".0": 5, 1.9, 163.4.
    const QString expectedText = QString::number(std::round(expected * 10) / 10, 'f', 1)
                                     .remove(QRegularExpression(QStringLiteral("\\.0$")));
    QString line =
        QStringLiteral("本类 %1 条公式：平均正确率 %2%，机会率 %3%；p<0.05 的有 %4 条，纯属运气时约有 %5 条")
            .arg(formulas)
            .arg(meanRate, 0, 'f', 2)
            .arg(meanChanceRate, 0, 'f', 2)
            .arg(significant)
            .arg(expectedText);
    if (!clearlyAboveChance())
        line += QStringLiteral("，与随机无明显差别");
    return line;
}
