#pragma once

#include "history/DrawRecord.h"

#include <QString>

class IssueNumbers
{
public:
    // The issue proposed for the draw after `newest`: the next day's "YYMMDD001" after the day's
    // last draw, otherwise the issue plus one. Running-count issues always count on. Empty when
    // it cannot be worked out (an issue that is not a number, a stored date that is not a date).
    static QString next(const DrawRecord& newest, int drawsPerDay, bool runningCount);
};
