#pragma once

#include <QString>
#include <optional>

// Numbers typed into the search window's boxes.
class NumericText
{
public:
    // The number the text starts with, blanks before it allowed: "12abc" gives 12, " -3.5x" gives
    // -3.5; 0 when the text starts with no number. Range boxes and count boxes are read this way.
    static double leadingValue(const QString& text);
    // The number the whole text spells (blanks around it allowed); none when it is not a number.
    static std::optional<double> value(const QString& text);
};
