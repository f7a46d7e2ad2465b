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
};
