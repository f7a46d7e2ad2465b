#pragma once

#include <limits>
#include <optional>

// The arithmetic formulas are evaluated with: real (double) values, "/" real division, and the
// remainder operator MOD, which rounds both operands to integers (halves to the even neighbour)
// and gives a remainder with the sign of its left operand. A result that cannot be computed is NaN
// ("no value"). Rounding relies on the default floating-point rounding mode (to nearest, ties even).
class FormulaArithmetic
{
public:
    static constexpr double kNoValue = std::numeric_limits<double>::quiet_NaN();

    // a / b; no value when b is 0.
    static double divide(double a, double b) { return b == 0 ? kNoValue : a / b; }
    // a MOD b; no value when an operand is not a number or does not round into the 32-bit range,
    // or when the divisor rounds to 0.
    static double mod(double a, double b);
    // Rounds to a 32-bit integer, halves to even (2.5 -> 2, 3.5 -> 4, -2.5 -> -2); false when x is
    // not a number or out of range.
    static bool toInt32(double x, int* out)
    {
        // Halves round to even, so 2147483647.5 would become 2^31 while -2147483648.5 stays in range.
        if (!(x >= -2147483648.5 && x < 2147483647.5))
            return false;
        // Adding 1.5 * 2^52 leaves no fraction bits, so the addition itself rounds to an integer in
        // the current (nearest-even) mode; cheaper than a library call in the back-test's inner loop.
        constexpr double kRounder = 6755399441055744.0;
        *out = static_cast<int>((x + kRounder) - kRounder);
        return true;
    }
    // ((v − 1) MOD 6) + 1 for an integer value: 1..6 for v >= 1, -4..1 for v <= 0.
    static int predictedNumber(int v) { return static_cast<int>((static_cast<long long>(v) - 1) % 6) + 1; }
    // ((x − 1) MOD 6) + 1 with x − 1 rounded by MOD: the next-draw value of a general-selection
    // formula and of the back-test (2.5 gives 3, 7 gives 1, 0 gives 0, -5 gives 1).
    static std::optional<int> predictedNumber(double x);
    // x MOD 10: the digit a single-selection formula votes for in the next-draw calculation
    // (13 gives 3, -3 gives -3).
    static std::optional<int> predictedDigit(double x);
};
