#include "history/ResultsPageProbe.h"

#include "history/PageFetcher.h"
#include "history/PageText.h"
#include "history/ResultsPageAddress.h"
#include "history/ResultsPageParser.h"

#include <QSet>

QUrl ResultsPageProbe::address(const QString& provinceCode, const QString& host)
{
    return ResultsPageAddress::page(ResultsPageAddress::base(provinceCode, host), 1);
}

bool ResultsPageProbe::describe(const FetchResult& fetched, bool runningCount, const QDate& today,
                                QString* message)
{
    if (fetched.status != FetchResult::Ok) {
        *message = QStringLiteral("连接失败：%1").arg(fetched.error);
        return false;
    }
    const ResultsPageParser parser(PageText::fromHtml(fetched.body, fetched.contentType), runningCount,
                                   today);
    const std::vector<PageDraw> draws = parser.listedDraws();
    if (draws.empty()) {
        *message =
            runningCount
                ? QStringLiteral("页面已读到，但其中没有可以读取的开奖号码：期号（5位流水号）之后应紧跟三个"
                                 "1到6的号码，各隔一个字符。")
                : QStringLiteral("页面已读到，但其中没有可以读取的开奖号码：期号（9位数字，年月日加当天序号）"
                                 "之后应紧跟三个1到6的号码，各隔一个字符。");
        return false;
    }
    // A draw shown twice (a box with the newest draw above the list) counts once.
    QSet<QString> issues;
    const PageDraw* newest = &draws.front();
    for (const PageDraw& d : draws) {
        issues.insert(d.issue);
        if (d.issue.size() > newest->issue.size() ||
            (d.issue.size() == newest->issue.size() && d.issue > newest->issue))
            newest = &d;
    }
    *message = QStringLiteral("连接成功：页面上读到%1期开奖号码，最新一期是%2（%3 %4 %5）。")
                   .arg(issues.size())
                   .arg(newest->issue)
                   .arg(newest->numbers[0])
                   .arg(newest->numbers[1])
                   .arg(newest->numbers[2]);
    return true;
}
