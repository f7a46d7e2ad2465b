#pragma once

#include "backtest/BacktestEngine.h"

#include <QString>
#include <vector>

struct DrawFairness;

// The line above the formula grid after a back-test: how many formulas of the subset beat chance.
//
// Only formulas with a p value count (valid formulas whose window has a draw where chance could go
// either way). With N of them, luck alone makes about M = 0.05 × N show p < 0.05. Formulas built
// of the same parameters move together, so that count says little about the subset; the verdict
// rests on the q values instead (Benjamini–Yekutieli, valid under any dependence): k formulas with
// q < 0.05 remain significant after correcting for the many comparisons, and with k = 0 the subset
// shows nothing beyond chance.
struct ChanceSummary
{
    static constexpr double kLevel = 0.05;

    int formulas = 0;            // N
    double meanRate = 0;         // X, per cent
    double meanChanceRate = 0;   // Y, per cent
    int significant = 0;         // formulas with p < 0.05
    double expected = 0;         // M = 0.05 × N
    int adjustedSignificant = 0; // k: formulas with q < 0.05
    // With a hold-out: the valid formulas scored on the held-out draws, their mean hold-out rate
    // and mean hold-out chance rate (per cent), and how many of the k are right above chance on
    // the held-out draws too (hold-out p < 0.05).
    int holdOutFormulas = 0;
    double holdOutMeanRate = 0;
    double holdOutMeanChanceRate = 0;
    int holdOutConfirmed = 0;
    // The stored draws do not look like fair dice: the chance figures compare with fair dice, not
    // with this lottery.
    bool historyUnlikeFairDice = false;

    // `fairness`, when given, is the fairness check of the stored history.
    static ChanceSummary of(const std::vector<FormulaOutcome>& outcomes,
                            const DrawFairness* fairness = nullptr);
    bool clearlyAboveChance() const { return adjustedSignificant > 0; }
    // "本类 N 条公式：平均正确率 X%，机会率 Y%；p<0.05 的有 n 条，纯属运气时约有 M 条；校正多重比较后
    // 仍显著的有 k 条", then "，与随机无明显差别" when k is 0 or, with a hold-out and k > 0,
    // "，其中留出期也高于机会的有 h 条"; with a hold-out then "；留出期：平均正确率 X%，机会率 Y%"; and when
    // the history does not fit fair dice a last sentence that says so.
    QString text() const;
};
