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
    // The draws in the results page layout, and those the import's reader finds (numbers in cells
    // of their own).
    std::vector<PageDraw> draws = parser.listedDraws();
    for (const PageDraw& d : parser.textDraws())
        if (d.problem.isEmpty())
            draws.push_back(d);
    if (draws.empty()) {
        *message =
            runningCount
                ? QStringLiteral("页面已读到，但其中没有可以读取的开奖号码：期号（5位流水号）之后应紧跟三个"
                                 "1到6的号码，各隔一个字符。")
                : QStringLiteral("页面已读到，但其中没有可以读取的开奖号码：期号（9位数字，年月日加当天序号）"
                                 "之后应紧跟三个1到6的号码，各隔一个字符，或期号和号码各在表格的格子里。");
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
