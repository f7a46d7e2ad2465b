#include "history/IssueNumbers.h"

#include <QDate>

#include <algorithm>

QString IssueNumbers::next(const DrawRecord& newest, int drawsPerDay, bool runningCount)
{
    const QString issue = newest.issue.trimmed();
    const bool dated = !runningCount && issue.size() == 9 &&
                       std::all_of(issue.begin(), issue.end(), [](QChar c) { return c.isDigit(); });
    // The day's last draw, or one numbered beyond it (stored before the sequence was checked):
    // the next day's first draw, never a thousandth draw of the day.
    if (dated && drawsPerDay > 0 &&
        (issue.right(3).toInt() >= drawsPerDay || newest.value("SQH") == drawsPerDay)) {
        const QDate day(2000 + issue.left(2).toInt(), issue.mid(2, 2).toInt(), issue.mid(4, 2).toInt());
        if (!day.isValid())
            return {};
        return day.addDays(1).toString(QStringLiteral("yyMMdd")) + QStringLiteral("001");
    }
    if (!runningCount && drawsPerDay > 0 && newest.value("SQH") == drawsPerDay) {
        const QDate day(newest.value("NF"), newest.value("YF"), newest.value("RQ"));
        if (!day.isValid())
            return {};
        return day.addDays(1).toString(QStringLiteral("yyMMdd")) + QStringLiteral("001");
    }
    bool ok = false;
    const qulonglong n = issue.toULongLong(&ok);
    if (!ok)
        return {};
    return QString::number(n + 1);
}

bool IssueNumbers::checkSequence(const QString& issue, int drawsPerDay, const QString& lottery,
                                 QString* error)
{
    if (issue.size() != 9 || !std::all_of(issue.begin(), issue.end(), [](QChar c) { return c.isDigit(); }))
        return true;
    const int sequence = issue.right(3).toInt();
    if (sequence == 0) {
        *error = QStringLiteral("期号%1：最后三位是当天的第几期，从001开始，没有第000期").arg(issue);
        return false;
    }
    if (drawsPerDay > 0 && sequence > drawsPerDay) {
        *error = QStringLiteral("期号%1：%2每天只有%3期（当天的期数是001到%4），没有这一期")
                     .arg(issue, lottery.isEmpty() ? QStringLiteral("这个彩种") : lottery)
                     .arg(drawsPerDay)
                     .arg(drawsPerDay, 3, 10, QLatin1Char('0'));
        return false;
    }
    return true;
}
