#pragma once

#include <QDate>
#include <QString>
#include <QStringList>
#include <array>
#include <vector>

// A draw as written on one line of a history text.
struct TextDraw
{
    int lineNumber = 0;
    QString issue;
    std::array<int, 3> numbers{}; // 百位, 十位, 个位
    bool runningCount = false;    // a 北京快3 running count rather than a dated issue
    QDate date;                   // the draw date written on the line, when there is one
};

// A line that holds no readable draw, with the reason in Chinese.
struct UnreadLine
{
    int lineNumber = 0;
    QString text;
    QString reason;
};

// Reads draws from the history texts users have, recognised by content rather than by file name:
// - the program's own text export: "ISSUE DDD" lines;
// - a table saved as CSV (comma or semicolon) or TSV, with an issue column and either three
//   number columns or one column holding the three numbers ("3 5 6", "3,5,6", "356"), with or
//   without heading rows;
// - text copied from a results page: every line holding a nine-digit issue (or, for 北京快3, a
//   running count) followed by three numbers 1..6 with any separators; dates, times and words on
//   the line are passed over, and lines without an issue are ignored.
class HistoryTextReader
{
public:
    enum class Format
    {
        Empty,
        OwnExport,
        Table,
        ResultsPage
    };

    struct Options
    {
        // The current lottery counts its draws (北京快3): five- and six-digit issues are read too.
        bool runningCount = false;
        // Dates written without a year (05-01, 5月1日) fall in this day's year, or the last year
        // for December dates read in January.
        QDate today = QDate::currentDate();
    };

    struct Result
    {
        Format format = Format::Empty;
        QChar delimiter; // of a table
        std::vector<TextDraw> draws;
        std::vector<UnreadLine> unread;
        int ignoredLines = 0; // heading rows of a table, lines without an issue on a page
    };

    static Result read(const QStringList& lines, const Options& options);
    static Result read(const QByteArray& bytes, const Options& options);
    // The format's name as the preview shows it.
    static QString formatName(const Result& result);

private:
    static Result readOwnExport(const QStringList& lines);
    static Result readTable(const QStringList& lines, QChar delimiter, const Options& options);
    static Result readPage(const QStringList& lines, const Options& options);
};
