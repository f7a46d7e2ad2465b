#pragma once

#include <QString>

struct Lottery
{
    QString caption;
    QString provinceCode;
    int drawsPerDay = 0;
};

// The fifteen lotteries of the lottery menu; the index is the stored setting "GsZl".
class LotteryTable
{
public:
    static constexpr int kCount = 15;
    static constexpr int kBeijing = 9; // issues are a running count, not a date
    static const Lottery& at(int index);
    static bool isValid(int index) { return index >= 0 && index < kCount; }
    // A lottery out of range has no caption, no code and 0 draws per day.
    static Lottery orEmpty(int index) { return isValid(index) ? at(index) : Lottery{}; }
};
