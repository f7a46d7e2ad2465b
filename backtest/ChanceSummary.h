#pragma once

#include "backtest/BacktestEngine.h"

#include <QString>
#include <vector>

// The line above the formula grid after a back-test: how many formulas of the subset beat chance
// at the 5 % level, against how many would by luck alone.
//
// Only formulas with a p value count (valid formulas whose window has a draw where chance could go
// either way). With N of them, luck alone makes about M = 0.05 × N show p < 0.05. k formulas are
// "clearly" above that when so many would turn up by luck less than one time in twenty: a one-sided
// binomial test, P(K ≥ k) < 0.05 for K ~ Binomial(N, 0.05).
struct ChanceSummary
{
    static constexpr double kLevel = 0.05;

    int formulas = 0;           // N
    double meanRate = 0;        // X, per cent
    double meanChanceRate = 0;  // Y, per cent
    int significant = 0;        // k: formulas with p < 0.05
    double expected = 0;        // M = 0.05 × N
    double luckProbability = 1; // P(K ≥ k) under pure luck

    static ChanceSummary of(const std::vector<FormulaOutcome>& outcomes);
    bool clearlyAboveChance() const { return formulas > 0 && luckProbability < kLevel; }
    // "本类 N 条公式：平均正确率 X%，机会率 Y%；p<0.05 的有 k 条，纯属运气时约有 M 条", followed by
    // "，与随机无明显差别" unless k is clearly above M.
    QString text() const;
};
