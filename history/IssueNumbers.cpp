#include "history/IssueNumbers.h"

#include <QDate>

QString IssueNumbers::next(const DrawRecord& newest, int drawsPerDay, bool runningCount)
{
    if (!runningCount && drawsPerDay > 0 && newest.value("SQH") == drawsPerDay) {
        const QDate day(newest.value("NF"), newest.value("YF"), newest.value("RQ"));
        if (!day.isValid())
            return {};
        return day.addDays(1).toString(QStringLiteral("yyMMdd")) + QStringLiteral("001");
    }
    bool ok = false;
    const qulonglong n = newest.issue.trimmed().toULongLong(&ok);
    if (!ok)
        return {};
    return QString::number(n + 1);
}
