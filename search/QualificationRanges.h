#pragma once

#include "formula/FormulaStats.h"

#include <QStringList>
#include <array>

// The ten bounds a search candidate must meet, five closed ranges in the order of the window's
// boxes: correct rate from/to, longest miss run from/to, longest hit run from/to, final miss run
// from/to, final hit run from/to. Bounds are single-precision numbers; each comparison allows
// 0.0001 on either side.
struct QualificationRanges
{
    static constexpr int kBoxes = 10;
    static constexpr double kTolerance = 0.0001;

    std::array<float, kBoxes> bounds{};

    // The boxes' texts before any settings are loaded: 99, 100, 0, 1, 256, 32768, 0, 32768, 64, 32768.
    static QualificationRanges formDefaults();
    // Each box's leading number (0 when it starts with none).
    static QualificationRanges fromTexts(const QStringList& texts);
    // The bounds as the boxes show them: the decimal text of each single-precision number.
    QStringList texts() const;
    static QString boundText(float bound);

    bool admits(const FormulaStats& stats) const;
    // Which of the five ranges the figures fall in: bit r for range r (boxes 2r and 2r+1).
    static constexpr int kRanges = 5;
    static constexpr unsigned kAllRanges = (1u << kRanges) - 1;
    unsigned rangesMet(const FormulaStats& stats) const;
    // "正确率", "最大连错", "最大连对", "最后连错", "最后连对": the captions of the search window
    static QString rangeName(int range);
    // "正确率 99–100"
    QString rangeText(int range) const;
};
