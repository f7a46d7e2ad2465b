#include "formula/FormulaArithmetic.h"

#include <cmath>

double FormulaArithmetic::mod(double a, double b)
{
    int left = 0;
    int right = 0;
    if (!toInt32(a, &left) || !toInt32(b, &right) || right == 0)
        return kNoValue;
    // C++ % truncates towards zero: the remainder takes the sign of the left operand.
    return static_cast<double>(static_cast<long long>(left) % right);
}

std::optional<int> FormulaArithmetic::predictedNumber(double x)
{
    const double r = mod(x - 1, 6);
    if (std::isnan(r))
        return std::nullopt;
    return static_cast<int>(r) + 1;
}

std::optional<int> FormulaArithmetic::predictedDigit(double x)
{
    const double r = mod(x, 10);
    if (std::isnan(r))
        return std::nullopt;
    return static_cast<int>(r);
}
