#pragma once

#include <QByteArray>
#include <QDate>
#include <QString>
#include <vector>

// One draw as the fixture results page lists it.
struct FixtureDraw
{
    QString issue;
    QString numbers; // three characters, normally digits 1..6: "356"
    QString date;    // "MM-DD"
};

// Results pages as the online update reads them: a table whose rows hold the issue directly
// followed by the three numbers ("160121041<span>3 5 6</span>"), then the draw's month-day and
// time; a heading row with "开奖时间" comes first. Head, script and style carry issue-like
// digits that a reader never sees.
class FixtureResultsPages
{
public:
    // Draws of a date-numbered lottery from (firstDay, firstSequence) to (lastDay, lastSequence).
    static std::vector<FixtureDraw> datedDraws(const QDate& firstDay, int firstSequence, const QDate& lastDay,
                                               int lastSequence, int drawsPerDay);
    // `count` draws of 北京快3's running count from `first`, perDay to a day from `firstDay`.
    static std::vector<FixtureDraw> runningDraws(qlonglong first, int count, const QDate& firstDay,
                                                 int perDay);
    // The numbers the fixture gives an issue: fixed, spread over 1..6.
    static QString numbersFor(const QString& issue);

    static QByteArray page(const std::vector<FixtureDraw>& draws, bool newestFirst = false);
};
