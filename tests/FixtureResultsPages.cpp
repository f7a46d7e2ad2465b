#include "FixtureResultsPages.h"

#include <QCryptographicHash>

#include <algorithm>

QString FixtureResultsPages::numbersFor(const QString& issue)
{
    const QByteArray hash = QCryptographicHash::hash(issue.toLatin1(), QCryptographicHash::Md5);
    QString digits;
    for (int k = 0; k < 3; ++k)
        digits += QChar('1' + quint8(hash[k]) % 6);
    return digits;
}

std::vector<FixtureDraw> FixtureResultsPages::datedDraws(const QDate& firstDay, int firstSequence,
                                                         const QDate& lastDay, int lastSequence,
                                                         int drawsPerDay)
{
    std::vector<FixtureDraw> draws;
    int sequence = firstSequence;
    for (QDate day = firstDay; day <= lastDay; day = day.addDays(1), sequence = 1) {
        const int last = day == lastDay ? lastSequence : drawsPerDay;
        for (; sequence <= last; ++sequence) {
            const QString issue =
                day.toString("yyMMdd") + QStringLiteral("%1").arg(sequence, 3, 10, QChar('0'));
            draws.push_back({issue, numbersFor(issue), day.toString("MM-dd")});
        }
    }
    return draws;
}

std::vector<FixtureDraw> FixtureResultsPages::runningDraws(qlonglong first, int count, const QDate& firstDay,
                                                           int perDay)
{
    std::vector<FixtureDraw> draws;
    for (int k = 0; k < count; ++k) {
        const QString issue = QString::number(first + k);
        draws.push_back({issue, numbersFor(issue), firstDay.addDays(k / perDay).toString("MM-dd")});
    }
    return draws;
}

QByteArray FixtureResultsPages::page(const std::vector<FixtureDraw>& draws, bool newestFirst)
{
    std::vector<FixtureDraw> rows = draws;
    if (newestFirst)
        std::reverse(rows.begin(), rows.end());
    QString html =
        QStringLiteral(
            "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>开奖结果 160101001</title>\n"
            "<style>td { padding: 2px } /* 160101001 */</style>\n"
            "<script>var latest = \"%1 1 1 1\"; if (a < b) {}</script></head>\n"
            "<body>\n<h1>快3开奖结果</h1>\n<!-- 缓存 %1 -->\n<table>\n"
            "<tr><th>期号</th><th>开奖号码</th><th>开奖时间</th></tr>\n")
            .arg(rows.empty() ? QString() : rows.back().issue);
    for (const auto& d : rows) {
        html += QStringLiteral("<tr><td>%1<span>%2&nbsp;%3 %4</span></td><td>%5 09:%6</td></tr>\n")
                    .arg(d.issue, d.numbers.mid(0, 1), d.numbers.mid(1, 1), d.numbers.mid(2, 1), d.date)
                    .arg(d.issue.right(2));
    }
    html += QStringLiteral("</table>\n<p>数据仅供参考 &copy; 2016</p>\n</body></html>\n");
    return html.toUtf8();
}
