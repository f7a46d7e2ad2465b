#pragma once

#include "search/SearchResult.h"

#include <QString>
#include <vector>

// How the qualified candidates of a search fare on the draws they did not qualify on: the line
// "合格 Q 条：留出期平均正确率 X%，机会率 Y%，p<0.05 的 k 条（运气约 M 条）". Candidates that fit the
// earlier draws by luck fall back to the chance rate here, and about M of them show p < 0.05 by
// luck alone (5 % of those with a p value).
struct HoldOutSummary
{
    int qualified = 0;         // Q: candidates scored on held-out draws
    double meanRate = 0;       // X, per cent
    double meanChanceRate = 0; // Y, per cent
    int significant = 0;       // k: hold-out p below 0.05
    double expected = 0;       // M
    // The standard error of the mean hold-out rate around the mean chance rate, were the
    // candidates independent (per cent): sqrt(Σ q (1 − q) / n) / Q.
    double standardError = 0;

    static HoldOutSummary of(const std::vector<SearchResult>& results);
    // From the candidates' hold-out figures alone (those with none left out).
    static HoldOutSummary of(const std::vector<ChanceFigures>& holdOuts);
    QString text() const;
};
