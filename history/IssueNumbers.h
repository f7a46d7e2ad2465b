#pragma once

#include "history/DrawRecord.h"

#include <QString>

class IssueNumbers
{
public:
    // The issue proposed for the draw after `newest`: the next day's "YYMMDD001" after the day's
    // last draw (or a draw numbered beyond it), otherwise the issue plus one. Running-count issues
    // always count on. Empty when it cannot be worked out (an issue that is not a number, a
    // stored date that is not a date).
    static QString next(const DrawRecord& newest, int drawsPerDay, bool runningCount);

    // A dated issue's last three digits count the day's draws from 001 to the lottery's draws per
    // day. False with the reason for 000 and for a sequence beyond the draws per day (`lottery`
    // names the lottery in the message, when given); true for issues of another shape, which are
    // checked elsewhere.
    static bool checkSequence(const QString& issue, int drawsPerDay, const QString& lottery, QString* error);
};
