#pragma once

#include <QString>
#include <vector>

// Issue numbers in the forms results sites and spreadsheets write them, each read into the
// nine-digit form the history keeps (YYMMDDNNN):
// - "160121001" as it stands;
// - the full year, "20160121001" (eleven digits whose first eight are a date of this century);
// - a date and the day's sequence number with a separator: "2016-01-21 001", "2016/1/21-001",
//   "20160121-001", "160121-001", "2016年1月21日 第001期", "2016-01-21,001". After a blank or a
//   comma the sequence number is written with three digits from 0 ("001"), so a date followed by
//   the draw's numbers ("2016-01-21 3 5 6") is no issue;
// - 北京快3's running counts, five or six digits, when asked for.
class IssueText
{
public:
    struct Span
    {
        qsizetype start = 0;
        qsizetype length = 0;
        QString issue; // as stored: nine digits, or the running count
        bool runningCount = false;
    };

    // Every issue written in `text` (normalised: full-width digits as plain ones), in order.
    static std::vector<Span> find(const QString& text, bool runningCount);
    // The issue a table cell holds when the cell holds nothing else (besides 第…期 around it);
    // empty otherwise.
    static QString inField(const QString& field, bool runningCount);
};
