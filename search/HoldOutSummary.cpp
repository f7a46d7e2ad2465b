#include "search/HoldOutSummary.h"

#include "backtest/ChanceSummary.h"

#include <QRegularExpression>
#include <cmath>

HoldOutSummary HoldOutSummary::of(const std::vector<SearchResult>& results)
{
    std::vector<ChanceFigures> holdOuts;
    holdOuts.reserve(results.size());
    for (const SearchResult& r : results)
        holdOuts.push_back(r.holdOut);
    return of(holdOuts);
}

HoldOutSummary HoldOutSummary::of(const std::vector<ChanceFigures>& holdOuts)
{
    HoldOutSummary s;
    double rates = 0, chances = 0, variance = 0;
    int withP = 0;
    for (const ChanceFigures& h : holdOuts) {
        if (h.tested <= 0)
            continue;
        ++s.qualified;
        rates += h.plainRate();
        chances += h.chanceRate;
        const double q = h.chanceRate / 100.0;
        variance += q * (1 - q) / h.tested;
        if (h.p) {
            ++withP;
            if (*h.p < ChanceSummary::kLevel)
                ++s.significant;
        }
    }
    if (s.qualified == 0)
        return s;
    s.meanRate = rates / s.qualified;
    s.meanChanceRate = chances / s.qualified;
    s.expected = ChanceSummary::kLevel * withP;
    s.standardError = 100.0 * std::sqrt(variance) / s.qualified;
    return s;
}

QString HoldOutSummary::text() const
{
    // M to one decimal, without a trailing ".0".
    const QString expectedText = QString::number(std::round(expected * 10) / 10, 'f', 1)
                                     .remove(QRegularExpression(QStringLiteral("\\.0$")));
    return QStringLiteral("合格 %1 条：留出期平均正确率 %2%，机会率 %3%，p<0.05 的 %4 条（运气约 %5 条）")
        .arg(qualified)
        .arg(meanRate, 0, 'f', 2)
        .arg(meanChanceRate, 0, 'f', 2)
        .arg(significant)
        .arg(expectedText);
}
