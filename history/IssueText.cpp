#include "history/IssueText.h"

#include <QDate>
#include <QRegularExpression>

#include <algorithm>

namespace {

// A date and the sequence number after it. Captures: 1-3 a date with separators, 4-6 YYYYMMDD,
// 7-9 YYMMDD; 10-12 the sequence after "-", "第" or a blank.
const QRegularExpression& datedSequence()
{
    static const QRegularExpression re(QStringLiteral("(?<![0-9])(?:(\\d{4})\\s*[-/.年]\\s*(\\d{1,2})\\s*[-/"
                                                      ".月]\\s*(\\d{1,2})\\s*日?|(20\\d\\d)(\\d\\d)(\\d\\d)"
                                                      "|(\\d\\d)(\\d\\d)(\\d\\d))"
                                                      "(?:\\s*[-_]\\s*(\\d{1,3})(?![0-9:])|\\s*第\\s*(\\d{1,"
                                                      "3})(?![0-9])\\s*期?|[\\s,;]+(0\\d\\d)(?![0-9:]))"));
    return re;
}
const QRegularExpression& fullYear()
{
    static const QRegularExpression re(
        QStringLiteral("(?<![0-9])(20\\d\\d)(\\d\\d)(\\d\\d)(\\d{3})(?![0-9])"));
    return re;
}
const QRegularExpression& nineDigits()
{
    static const QRegularExpression re(QStringLiteral("(?<![0-9])\\d{9}(?![0-9])"));
    return re;
}
const QRegularExpression& runningDigits()
{
    static const QRegularExpression re(QStringLiteral("(?<![0-9])\\d{5,6}(?![0-9])"));
    return re;
}

// YYMMDD + NNN, or empty when the date is none of this century.
QString storedIssue(int year, int month, int day, int sequence)
{
    if (year < 100)
        year += 2000;
    if (year < 2000 || year > 2099 || !QDate(year, month, day).isValid() || sequence < 0 || sequence > 999)
        return {};
    return QStringLiteral("%1%2%3%4")
        .arg(year % 100, 2, 10, QLatin1Char('0'))
        .arg(month, 2, 10, QLatin1Char('0'))
        .arg(day, 2, 10, QLatin1Char('0'))
        .arg(sequence, 3, 10, QLatin1Char('0'));
}

bool overlaps(const std::vector<IssueText::Span>& spans, qsizetype start, qsizetype length)
{
    return std::any_of(spans.begin(), spans.end(), [&](const IssueText::Span& s) {
        return start < s.start + s.length && s.start < start + length;
    });
}

} // namespace

std::vector<IssueText::Span> IssueText::find(const QString& text, bool runningCount)
{
    std::vector<Span> spans;
    for (auto it = datedSequence().globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        int first = 1;
        while (m.captured(first).isEmpty() && first < 7)
            first += 3;
        int sequenceGroup = 10;
        while (m.captured(sequenceGroup).isEmpty() && sequenceGroup < 12)
            ++sequenceGroup;
        const QString issue = storedIssue(m.captured(first).toInt(), m.captured(first + 1).toInt(),
                                          m.captured(first + 2).toInt(), m.captured(sequenceGroup).toInt());
        if (!issue.isEmpty())
            spans.push_back({m.capturedStart(), m.capturedLength(), issue, false});
    }
    for (auto it = fullYear().globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        const QString issue = storedIssue(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt(),
                                          m.captured(4).toInt());
        if (!issue.isEmpty() && !overlaps(spans, m.capturedStart(), m.capturedLength()))
            spans.push_back({m.capturedStart(), m.capturedLength(), issue, false});
    }
    for (auto it = nineDigits().globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        if (!overlaps(spans, m.capturedStart(), m.capturedLength()))
            spans.push_back({m.capturedStart(), m.capturedLength(), m.captured(), false});
    }
    if (runningCount) {
        for (auto it = runningDigits().globalMatch(text); it.hasNext();) {
            const QRegularExpressionMatch m = it.next();
            if (!overlaps(spans, m.capturedStart(), m.capturedLength()))
                spans.push_back({m.capturedStart(), m.capturedLength(), m.captured(), true});
        }
    }
    std::sort(spans.begin(), spans.end(), [](const Span& a, const Span& b) { return a.start < b.start; });
    return spans;
}

QString IssueText::inField(const QString& field, bool runningCount)
{
    static const QRegularExpression wrapped(QStringLiteral("^\\s*第?\\s*(.*?)\\s*期?\\s*$"));
    const QString inner = wrapped.match(field).captured(1);
    if (inner.isEmpty())
        return {};
    const std::vector<Span> spans = find(inner, runningCount);
    if (spans.size() != 1 || spans.front().start != 0 || spans.front().length != inner.size())
        return {};
    return spans.front().issue;
}
