#pragma once

#include "history/DrawRecord.h"

#include <QDate>
#include <QString>
#include <array>

// How a draw entered the history: the year/month/day sums are digit sums for hand entry and
// last digits for the online update.
enum class EntryPath
{
    Hand,
    Online
};

struct DrawInput
{
    QString issue;
    std::array<int, 3> numbers{}; // 百位, 十位, 个位
    int drawsPerDay = 0;
    EntryPath path = EntryPath::Hand;
    // 北京快3 online: issues are a running count; the date comes from the results page.
    bool runningCount = false;
    QDate pageDate;
    // The lottery's name, for the message about a sequence beyond its draws per day.
    QString lottery;
};

class DrawDeriver
{
public:
    // Computes every parameter column of the draw. Refuses numbers outside 1..6 and, for
    // date-numbered issues, an issue that is not nine digits with a real date and a day's
    // sequence from 001 to the draws per day, with a message.
    static bool derive(const DrawInput& input, const PreviousDraw& previous, DrawRecord* out, QString* error);
    // Sets the columns that depend on the previous draw (LX 重上期号, LY 同上期数) from the
    // record's own numbers and `previous`; a draw whose previous draw changed needs only these.
    static void chain(const PreviousDraw& previous, DrawRecord* record);
    // Checks an issue typed for a date-numbered lottery: nine digits, YYMMDD a real date.
    static bool checkDatedIssue(const QString& issue, QString* error);
    static int digitSum(int value);
};
