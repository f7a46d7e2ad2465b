#pragma once

#include <QDate>
#include <QString>
#include <array>
#include <vector>

// One draw as the results page lists it.
struct PageDraw
{
    QString issue;
    std::array<int, 3> numbers{};
    QDate date;      // 北京快3: the month-day date listed after the issue, in the year it fits
    QString problem; // why the draw cannot be stored; empty when it can
    int line = 0;    // of the page text, from 1, for draws the reader found
};

// Reads draws from the text of a results page. A draw is found by its issue number written as
// plain digits; its three numbers are the single characters 2, 4 and 6 places after the digit
// offset counted from the issue's first character (offset 7 for nine-digit date-numbered
// issues, so the numbers follow the issue directly: "1601210413 5 6"; offset 3 for 北京快3's
// five-digit running count). Each search starts after the previous find, so the page must list
// its draws oldest first; a mention above the list (a "最新开奖" box showing the newest draw in
// the list's own format) does no harm.
// Beside that layout the text is read as the history import reads copied page text
// (HistoryTextReader): a page that lists the issue and the numbers in cells of their own, the
// issue with the full year or a date and a sequence number, is read too.
class ResultsPageParser
{
public:
    static constexpr int kDatedDigitOffset = 7;
    static constexpr int kRunningDigitOffset = 3;

    ResultsPageParser(const QString& pageText, bool runningCount, const QDate& today);

    // 北京快3 with nothing stored: the first issue listed after "开奖时间", that is the first run
    // of digits there without its last digit (the first number follows the issue directly).
    bool firstRunningIssue(qlonglong* issue, QString* error) const;

    // Looks for `issue` after the previous find; false when it is not listed there. After a miss
    // the next issue is looked for after the last find and, when not there, from the beginning
    // of the text again.
    bool find(const QString& issue, PageDraw* draw);
    // True once a draw was found before the draw found previously: the draws found are not in
    // order (the page lists them newest first), and reading on would skip every other draw.
    bool listedOutOfOrder() const { return m_outOfOrder; }
    bool contains(const QString& issue) const { return m_text.contains(issue); }

    // Every place where the text reads like a listed draw: the issue's digits (nine for a date-
    // numbered lottery, with a real date and a sequence number from 001; five for 北京快3), then
    // the numbers at their offsets, in page order. A draw the page shows twice is listed twice.
    std::vector<PageDraw> listedDraws() const;

    // The draws the history import's reader finds in the text, in page order; an issue listed
    // without readable numbers comes with the problem.
    const std::vector<PageDraw>& textDraws() const { return m_textDraws; }
    // The reader found the numbers readable in two ways (see HistoryTextReader): why.
    const QString& textAmbiguity() const { return m_textAmbiguity; }

private:
    PageDraw readAt(int position, const QString& issue) const;
    bool readRunningDate(int position, PageDraw* draw) const;

    QString m_text;
    std::vector<PageDraw> m_textDraws;
    QString m_textAmbiguity;
    bool m_runningCount;
    QDate m_today;
    int m_lastFound = -1;
    bool m_missed = false; // the last issue looked for was not found
    bool m_outOfOrder = false;
};
