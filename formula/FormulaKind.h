#pragma once

#include <QString>
#include <array>
#include <optional>
#include <vector>

// A formula kind: the position a formula predicts (1 个位, 2 十位, 3 百位) and its selection
// mode (单选: checked against that one number; 通选: against it and the numbers before it).
// Each kind has its own table "Gongshi" + position + "D"/"G"; 个位通选 does not exist.
struct FormulaKind
{
    int position = 1;
    bool single = true;

    static const std::array<FormulaKind, 5>& all(); // 1D, 2D, 3D, 2G, 3G
    // "1D" .. "3G" (letter case ignored); nothing for any other text, including "1G".
    static std::optional<FormulaKind> fromCode(const QString& code);
    // "Gongshi1D" .. "Gongshi3G" (letter case ignored).
    static std::optional<FormulaKind> fromTableName(const QString& table);
    static QString positionCaption(int position); // 个位, 十位, 百位
    static QString selectionCaption(bool single)
    {
        return single ? QStringLiteral("单选") : QStringLiteral("通选");
    }

    bool isValid() const { return position >= 1 && position <= 3 && (single || position > 1); }
    QString code() const;           // "2G"
    QString tableName() const;      // "Gongshi2G"
    QString kindText() const;       // "十位通选": the 种类 column of the formula grid
    QString selectionLabel() const; // "通选十位": the kind label of the main window
    // Draw-record columns (ParameterTable indexes of L1A/L2A/L3A) a prediction is checked
    // against: 1D L3A; 2D L2A; 3D L1A; 2G L2A and L3A; 3G all three.
    std::vector<int> checkedColumns() const;

    bool operator==(const FormulaKind&) const = default;
};
