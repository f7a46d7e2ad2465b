#include "history/ResultsPageParser.h"

#include "history/HistoryTextReader.h"
#include "store/TextFileCodec.h"

#include <algorithm>

ResultsPageParser::ResultsPageParser(const QString& pageText, bool runningCount, const QDate& today)
    : m_text(pageText), m_runningCount(runningCount), m_today(today)
{
    const HistoryTextReader::Result read =
        HistoryTextReader::read(TextFileCodec::splitLines(pageText), {runningCount, today});
    m_textAmbiguity = read.ambiguity;
    for (const TextDraw& d : read.draws)
        m_textDraws.push_back({d.issue, d.numbers, d.date, QString(), d.lineNumber});
    for (const UnreadLine& u : read.unread)
        if (!u.issue.isEmpty())
            m_textDraws.push_back({u.issue, {}, QDate(), u.reason, u.lineNumber});
    std::stable_sort(m_textDraws.begin(), m_textDraws.end(),
                     [](const PageDraw& a, const PageDraw& b) { return a.line < b.line; });
}

bool ResultsPageParser::firstRunningIssue(qlonglong* issue, QString* error) const
{
    const int label = m_text.indexOf(QStringLiteral("开奖时间"));
    if (label < 0) {
        *error = QStringLiteral("页面中没有“开奖时间”，无法确定第一期的期号。");
        return false;
    }
    int start = label;
    while (start < m_text.size() && !m_text[start].isDigit())
        ++start;
    int end = start;
    while (end < m_text.size() && m_text[end].isDigit())
        ++end;
    bool ok = false;
    const qlonglong value = end - start >= 2 ? m_text.mid(start, end - start - 1).toLongLong(&ok) : 0;
    if (!ok) {
        *error = QStringLiteral("页面中“开奖时间”之后没有期号，无法确定第一期的期号。");
        return false;
    }
    *issue = value;
    return true;
}

bool ResultsPageParser::find(const QString& issue, PageDraw* draw)
{
    int position = m_text.indexOf(issue, m_lastFound + 1);
    if (position < 0 && m_missed && m_lastFound >= 0) {
        // After a miss the search starts from the beginning again: a draw found there, before
        // the one found last, is out of order.
        position = m_text.indexOf(issue);
        if (position >= 0)
            m_outOfOrder = true;
    }
    if (position < 0) {
        m_missed = true;
        return false;
    }
    m_missed = false;
    m_lastFound = position;
    *draw = readAt(position, issue);
    return true;
}

std::vector<PageDraw> ResultsPageParser::listedDraws() const
{
    std::vector<PageDraw> draws;
    const int issueLength = m_runningCount ? kRunningDigitOffset + 2 : kDatedDigitOffset + 2;
    const int size = int(m_text.size());
    for (int start = 0; start < size;) {
        if (!m_text[start].isDigit()) {
            ++start;
            continue;
        }
        int end = start;
        while (end < size && m_text[end].isDigit())
            ++end;
        // The issue's digits, then the first number directly after them.
        if (end - start == issueLength + 1) {
            const QString issue = m_text.mid(start, issueLength);
            bool plausible = true;
            if (!m_runningCount) {
                const QDate day(2000 + issue.left(2).toInt(), issue.mid(2, 2).toInt(),
                                issue.mid(4, 2).toInt());
                plausible = day.isValid() && issue.right(3).toInt() >= 1;
            }
            if (plausible) {
                PageDraw d = readAt(start, issue);
                if (d.problem.isEmpty())
                    draws.push_back(d);
            }
        }
        start = end;
    }
    return draws;
}

PageDraw ResultsPageParser::readAt(int position, const QString& issue) const
{
    PageDraw d;
    d.issue = issue;
    const int offset = m_runningCount ? kRunningDigitOffset : kDatedDigitOffset;
    for (int k = 1; k <= 3; ++k) {
        const int at = position + offset + 2 * k;
        if (at >= m_text.size()) {
            d.problem = QStringLiteral("期号%1的开奖号码不完整（页面在此中断）").arg(issue);
            return d;
        }
        const QChar c = m_text[at];
        if (c < '1' || c > '6') {
            d.problem = QStringLiteral("期号%1的第%2个号码“%3”不是1到6的数字").arg(issue).arg(k).arg(c);
            return d;
        }
        d.numbers[k - 1] = c.digitValue();
    }
    if (m_runningCount && !readRunningDate(position, &d))
        d.problem = QStringLiteral("期号%1的开奖日期无法识别（应为“月-日”）").arg(issue);
    return d;
}

bool ResultsPageParser::readRunningDate(int position, PageDraw* draw) const
{
    const int dash = m_text.indexOf('-', position);
    if (dash < 2 || dash + 2 >= m_text.size())
        return false;
    bool monthOk = false, dayOk = false;
    const int month = m_text.mid(dash - 2, 2).toInt(&monthOk);
    const int day = m_text.mid(dash + 1, 2).toInt(&dayOk);
    if (!monthOk || !dayOk)
        return false;
    // The page gives no year: the current one, or the last one for December draws read in January.
    const int year = m_today.year() - (month == 12 && m_today.month() == 1 ? 1 : 0);
    draw->date = QDate(year, month, day);
    return draw->date.isValid();
}
