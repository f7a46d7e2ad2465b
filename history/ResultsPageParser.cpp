#include "history/ResultsPageParser.h"

ResultsPageParser::ResultsPageParser(const QString& pageText, bool runningCount, const QDate& today)
    : m_text(pageText)
    , m_runningCount(runningCount)
    , m_today(today)
{
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
    const int position = m_text.indexOf(issue, m_from);
    if (position < 0) {
        // Listed before the previous find? Then the page runs newest first. A mention that
        // does not read as a draw (a heading naming the latest issue) does not count.
        const int earlier = m_from > 0 ? m_text.indexOf(issue) : -1;
        if (earlier >= 0 && readAt(earlier, issue).problem.isEmpty())
            m_outOfOrder = true;
        m_from = 0;
        return false;
    }
    m_from = position + 1;
    *draw = readAt(position, issue);
    return true;
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
