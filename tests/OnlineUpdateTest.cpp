#include "FixtureResultsPages.h"
#include "FixtureResultsServer.h"
#include "TestSupport.h"

#include "history/OnlineHistoryUpdate.h"
#include "history/PageFetcher.h"
#include "history/PageText.h"
#include "history/ResultsPageAddress.h"
#include "history/ResultsPageParser.h"
#include "history/ResultsPageProbe.h"
#include "history/Workspace.h"
#include "store/Settings.h"

#include <QElapsedTimer>
#include <QSqlQuery>
#include <QStringEncoder>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

const QDate kToday(2016, 1, 21);
constexpr int kFujian = 0; // 78 draws a day
constexpr int kBeijing = LotteryTable::kBeijing;

QStringList issuesOf(Workspace& ws)
{
    QStringList out;
    for (const auto& d : ws.history().draws())
        out << d.issue;
    return out;
}

// A workspace in a fresh data folder for one lottery, with a fixture server beside it.
class OnlineUpdate : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QString error;
        ASSERT_TRUE(m_ws.open(m_dir.path(), &error)) << error.toStdString();
        m_ws.setLotteryIndex(kFujian);
    }

    // Runs the update as the command line does, against the fixture server.
    bool runUpdate(QString* message, int timeoutMs = 5000, int searchDays = 6, QDate today = kToday)
    {
        OnlineUpdateOptions options;
        options.baseUrl = m_server.baseUrl();
        options.today = today;
        options.searchDays = searchDays;
        options.timeoutMs = timeoutMs;
        OnlineHistoryUpdate update = OnlineHistoryUpdate::plan(m_ws, options);
        return update.runBlocking(&m_ws.history(), message);
    }

    void servePage(const std::vector<FixtureDraw>& draws, bool newestFirst = false)
    {
        m_server.setReply(FixtureResultsServer::Reply::Page);
        m_server.setPage(FixtureResultsPages::page(draws, newestFirst));
    }

    TempDataFolder m_dir;
    Workspace m_ws;
    FixtureResultsServer m_server;
};

std::vector<FixtureDraw> fujianDays(QDate first, int firstSequence, QDate last, int lastSequence)
{
    return FixtureResultsPages::datedDraws(first, firstSequence, last, lastSequence, 78);
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Page text: what a reader sees, in reading order.

TEST(PageText, CellsAreBlanksInlineMarkupAddsNothing)
{
    EXPECT_EQ(PageText::fromHtml(
                  QStringLiteral("<table><tr><td>160121041<b>3 5 6</b></td><td>01-21\n 09:10</td></tr>"
                                 "<tr><th>期号</th><td> x </td></tr></table>")),
              QStringLiteral("1601210413 5 6 01-21 09:10\n期号 x"));
    EXPECT_EQ(PageText::fromHtml(QStringLiteral("<p>a<br>b</p><div>c&nbsp;&amp;&#x31;&#50;&lt;</div>")),
              QStringLiteral("a\nb\nc &12<"));
}

TEST(PageText, HidesHeadScriptsStylesAndComments)
{
    const QString html = QStringLiteral(
        "<html><head><title>160121001</title><style>p{}</style></head><body>"
        "<script type=\"text/javascript\">var s = '<td>160121002</td>';</script>"
        "<!-- 160121003 --><p title=\"a > b\">shown</p><noscript>n</noscript> if a < b</body></html>");
    EXPECT_EQ(PageText::fromHtml(html), QStringLiteral("shown\nif a < b"));
}

TEST(PageText, DecodesTheDeclaredCharset)
{
    const QString text = QStringLiteral("开奖时间 160121001");
    QStringEncoder gbk("GB18030");
    const QByteArray gbkBody =
        "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\">"
        "</head><body>" +
        QByteArray(gbk.encode(text)) + "</body></html>";
    EXPECT_EQ(PageText::fromHtml(gbkBody), text);
    EXPECT_EQ(PageText::fromHtml(QByteArray(gbk.encode(text)), "text/html; charset=GBK"), text);
    // Undeclared: UTF-8 when it is valid UTF-8, otherwise GB18030.
    EXPECT_EQ(PageText::fromHtml(text.toUtf8()), text);
    EXPECT_EQ(PageText::fromHtml(QByteArray(gbk.encode(text))), text);
}

// ---------------------------------------------------------------------------------------------
// Reading draws from the page text.

TEST(ResultsPageParser, NumbersStandNineElevenThirteenAfterTheIssue)
{
    ResultsPageParser parser(QStringLiteral("期号 1601210413 5 6 01-21"), false, kToday);
    PageDraw d;
    ASSERT_TRUE(parser.find("160121041", &d));
    EXPECT_TRUE(d.problem.isEmpty());
    EXPECT_EQ(d.numbers, (std::array<int, 3>{3, 5, 6}));
    EXPECT_FALSE(parser.find("160121042", &d));
}

TEST(ResultsPageParser, ACharacterThatIsNoDieNumberRejectsTheDraw)
{
    for (const char* text : {"1601210413 7 6", "1601210410 5 6", "160121041x 5 6", "1601210413 5"}) {
        ResultsPageParser parser(QString::fromLatin1(text), false, kToday);
        PageDraw d;
        ASSERT_TRUE(parser.find("160121041", &d)) << text;
        EXPECT_FALSE(d.problem.isEmpty()) << text;
        EXPECT_TRUE(d.problem.contains("160121041"));
    }
}

TEST(ResultsPageParser, OnlyDrawsFoundOutOfOrderMakeAPageNewestFirst)
{
    PageDraw d;
    // Newest first: after 041 (listed last) 043 turns up only before it.
    ResultsPageParser parser(QStringLiteral("1601210433 5 6\n1601210423 5 6\n1601210411 2 3"), false, kToday);
    EXPECT_TRUE(parser.find("160121041", &d));
    EXPECT_FALSE(parser.find("160121042", &d));
    EXPECT_TRUE(parser.find("160121043", &d));
    EXPECT_TRUE(parser.listedOutOfOrder());
    // A heading naming an issue that the list lacks is no draw found out of order.
    ResultsPageParser heading(QStringLiteral("最新160121042期\n1601210411 2 3"), false, kToday);
    EXPECT_TRUE(heading.find("160121041", &d));
    EXPECT_FALSE(heading.find("160121042", &d));
    EXPECT_FALSE(heading.listedOutOfOrder());
    // A "最新开奖" box in the list's own format above a list oldest first: the list is read,
    // whether it already holds the box's draw or not yet.
    for (const char* list :
         {"1601210411 2 3\n1601210424 5 6\n1601210436 6 6", "1601210411 2 3\n1601210424 5 6"}) {
        ResultsPageParser boxed(QStringLiteral("最新开奖 1601210436 6 6\n") + QString::fromLatin1(list),
                                false, kToday);
        EXPECT_TRUE(boxed.find("160121041", &d)) << list;
        EXPECT_TRUE(boxed.find("160121042", &d)) << list;
        EXPECT_EQ(d.numbers, (std::array<int, 3>{4, 5, 6}));
        boxed.find("160121043", &d);
        EXPECT_FALSE(boxed.find("160121044", &d));
        EXPECT_FALSE(boxed.listedOutOfOrder()) << list;
    }
    // A gap in the list does not send the next search to the box above it.
    ResultsPageParser gap(QStringLiteral("最新开奖 1601210436 6 6\n1601210411 2 3\n1601210436 6 6"), false,
                          kToday);
    EXPECT_TRUE(gap.find("160121041", &d));
    EXPECT_FALSE(gap.find("160121042", &d));
    EXPECT_TRUE(gap.find("160121043", &d));
    EXPECT_FALSE(gap.listedOutOfOrder());
}

TEST(ResultsPageParser, ListedDrawsAreThoseInTheUpdatesFormat)
{
    const QString text = QStringLiteral("最新开奖 1601210436 6 6 期号 开奖号码 1601210411 2 3 01-21 "
                                        "1601210436 6 6 1601210437 1 2 电话：4008123456。 1601320011 1 1");
    const std::vector<PageDraw> dated = ResultsPageParser(text, false, kToday).listedDraws();
    QStringList issues;
    for (const PageDraw& d : dated)
        issues << d.issue;
    // 160121043 twice (box and list), 044 with a 7 is no draw, nor a phone number or the 32nd of January.
    EXPECT_EQ(issues, QStringList({"160121043", "160121041", "160121043"}));
    EXPECT_EQ(dated[1].numbers, (std::array<int, 3>{1, 2, 3}));
    const std::vector<PageDraw> running =
        ResultsPageParser(QStringLiteral("开奖时间 793011 2 3 01-20 793024 5 6 01-20"), true, kToday)
            .listedDraws();
    ASSERT_EQ(running.size(), 2u);
    EXPECT_EQ(running[1].issue, "79302");
}

TEST(ResultsPageParser, BeijingRunningCountAndPageDate)
{
    const QString text =
        QStringLiteral("期号 开奖号码 开奖时间\n793011 2 3 01-20 09:01\n793024 5 6 12-31 09:11");
    ResultsPageParser parser(text, true, kToday);
    qlonglong first = 0;
    QString error;
    ASSERT_TRUE(parser.firstRunningIssue(&first, &error)) << error.toStdString();
    EXPECT_EQ(first, 79301);
    PageDraw d;
    ASSERT_TRUE(parser.find("79301", &d));
    EXPECT_EQ(d.numbers, (std::array<int, 3>{1, 2, 3}));
    EXPECT_EQ(d.date, QDate(2016, 1, 20));
    // A December date read in January belongs to the year before.
    ASSERT_TRUE(parser.find("79302", &d));
    EXPECT_EQ(d.date, QDate(2015, 12, 31));
    ResultsPageParser inJune(text, true, QDate(2016, 6, 1));
    ASSERT_TRUE(inJune.find("79302", &d));
    EXPECT_EQ(d.date, QDate(2016, 12, 31));
    ResultsPageParser noDate(QStringLiteral("开奖时间 793011 2 3 13-45"), true, kToday);
    ASSERT_TRUE(noDate.find("79301", &d));
    EXPECT_FALSE(d.problem.isEmpty());
    ResultsPageParser noLabel(QStringLiteral("793011 2 3 01-20"), true, kToday);
    EXPECT_FALSE(noLabel.firstRunningIssue(&first, &error));
}

// ---------------------------------------------------------------------------------------------
// Planning: request size, issue range, age check.

TEST(OnlineUpdatePlan, EmptyHistoryFetchesTheDaysSetting)
{
    OnlineHistoryUpdate update({}, kFujian, 6, kToday);
    EXPECT_FALSE(update.replacesStored());
    EXPECT_EQ(update.daysToFetch(), 6);
    EXPECT_EQ(update.requestedDraws(), 468);
    EXPECT_EQ(update.pageUrl().toString(), "http://fj.kuai3.zorvane.example/?n=468");
    QString error;
    EXPECT_FALSE(update.readPage(QString(), &error));
    EXPECT_EQ(update.firstIssue(), "160115001");
    EXPECT_EQ(update.lastIssue(), "160121078");
    EXPECT_TRUE(error.contains("160115001")) << error.toStdString();
}

TEST_F(OnlineUpdate, HostSettingAndBaseAddress)
{
    m_ws.settings().writeString("IniSetting", "ResultsHost", ".results.test");
    addDraws(m_ws, {{"160121040", "123"}});
    OnlineHistoryUpdate update = OnlineHistoryUpdate::plan(m_ws, {QString(), kToday, 0, 0});
    EXPECT_EQ(update.pageUrl().toString(), "http://fj.results.test/?n=78");
    update.setBase("http://127.0.0.1:9/");
    EXPECT_EQ(update.pageUrl().toString(), "http://127.0.0.1:9/?n=78");
    EXPECT_EQ(ResultsPageAddress::host(m_ws.settings()), ".results.test");
}

TEST_F(OnlineUpdate, SameDayRangeRunsFromTheNextDraw)
{
    addDraws(m_ws, {{"160121040", "123"}});
    OnlineHistoryUpdate update(m_ws.history().draws(), kFujian, 6, kToday);
    EXPECT_EQ(update.daysToFetch(), 1);
    EXPECT_EQ(update.requestedDraws(), 78);
    QString error;
    update.readPage(QString(), &error);
    EXPECT_EQ(update.firstIssue(), "160121041");
    EXPECT_EQ(update.lastIssue(), "160121078");
}

TEST_F(OnlineUpdate, AgeCheckReplacesOnlyAHistoryOlderThanTheSetting)
{
    addDraws(m_ws, {{"160115001", "123"}, {"160120078", "456"}});
    OnlineHistoryUpdate kept(m_ws.history().draws(), kFujian, 6, kToday); // 6 days old: kept
    EXPECT_FALSE(kept.replacesStored());
    EXPECT_EQ(kept.daysToFetch(), 2);
    EXPECT_EQ(kept.requestedDraws(), 156);

    OnlineHistoryUpdate stale(m_ws.history().draws(), kFujian, 5, kToday);
    EXPECT_TRUE(stale.replacesStored());
    EXPECT_EQ(stale.daysToFetch(), 5);
    QString error;
    stale.readPage(QString(), &error);
    EXPECT_EQ(stale.firstIssue(), "160116001");
    // A stored days setting out of 2..10 counts as 6.
    EXPECT_EQ(OnlineHistoryUpdate({}, kFujian, 11, kToday).requestedDraws(), 468);
    // What the confirmation names: the draws a good page replaces.
    EXPECT_EQ(kept.storedDrawsReplaced(), 0);
    EXPECT_EQ(stale.storedDrawsReplaced(), 2);
    EXPECT_EQ(stale.searchDays(), 5);
}

TEST_F(OnlineUpdate, ABoxedPageAddsItsListAndDrawsBeyondTheDrawsPerDayAreRejected)
{
    addDraws(m_ws, {{"160120070", "123"}});
    // The page shows 80 draws a day (another lottery's count): 079 and 080 of the 20th are no
    // draws of 福建快3; the box above the list shows the newest draw again.
    const auto draws = FixtureResultsPages::datedDraws(QDate(2016, 1, 20), 71, kToday, 5, 80);
    QByteArray page = FixtureResultsPages::page(draws);
    const FixtureDraw& newest = draws.back();
    page.replace("<h1>快3开奖结果</h1>", QStringLiteral("<div>最新开奖 %1<span>%2 %3 %4</span></div>")
                                             .arg(newest.issue, newest.numbers.mid(0, 1),
                                                  newest.numbers.mid(1, 1), newest.numbers.mid(2, 1))
                                             .toUtf8());
    servePage({});
    m_server.setPage(page);
    QString message;
    ASSERT_TRUE(runUpdate(&message)) << message.toStdString();
    EXPECT_EQ(m_ws.history().draws().size(), 1u + 8u + 5u);
    EXPECT_EQ(issuesOf(m_ws).last(), "160121005");
    EXPECT_TRUE(message.startsWith(QStringLiteral("在线更新完成：新增13期，拒绝2期。")))
        << message.toStdString();
    EXPECT_TRUE(message.contains(QStringLiteral("期号160120079：福建快3每天只有78期")))
        << message.toStdString();
    EXPECT_TRUE(message.contains(QStringLiteral("160120080")));
}

TEST(ResultsPageProbe, SaysHowManyDrawsThePageShowsOrWhyNone)
{
    EXPECT_EQ(ResultsPageProbe::address("fj", ".kuai3.test:8080").toString(),
              "http://fj.kuai3.test:8080/?n=1");
    FetchResult fetched;
    fetched.status = FetchResult::Ok;
    fetched.body = FixtureResultsPages::page(FixtureResultsPages::datedDraws(kToday, 1, kToday, 3, 78));
    QString message;
    EXPECT_TRUE(ResultsPageProbe::describe(fetched, false, kToday, &message));
    EXPECT_TRUE(message.startsWith(QStringLiteral("连接成功：页面上读到3期开奖号码，最新一期是160121003")))
        << message.toStdString();
    fetched.body = "<html><body>维护中</body></html>";
    EXPECT_FALSE(ResultsPageProbe::describe(fetched, false, kToday, &message));
    EXPECT_TRUE(message.contains(QStringLiteral("没有可以读取的开奖号码")));
    fetched.body = FixtureResultsPages::page(FixtureResultsPages::runningDraws(79301, 2, kToday, 78));
    EXPECT_TRUE(ResultsPageProbe::describe(fetched, true, kToday, &message));
    EXPECT_TRUE(message.contains("79302"));
    fetched.status = FetchResult::Failed;
    fetched.error = QStringLiteral("无法从开奖服务器读取页面（Host fj.kuai3.zorvane.example not found）。");
    EXPECT_FALSE(ResultsPageProbe::describe(fetched, false, kToday, &message));
    EXPECT_TRUE(message.startsWith(QStringLiteral("连接失败：无法从开奖服务器读取页面")));
}

// ---------------------------------------------------------------------------------------------
// Whole updates against the fixture server.

TEST_F(OnlineUpdate, EmptyHistoryLoadsTheRangeInOneRequest)
{
    servePage(fujianDays(QDate(2016, 1, 14), 70, kToday, 78));
    QString message;
    ASSERT_TRUE(runUpdate(&message)) << message.toStdString();
    EXPECT_EQ(m_server.requestCount(), 1);
    EXPECT_EQ(m_server.lastCount(), 468);
    EXPECT_EQ(m_server.lastTarget(), "/?n=468");
    const auto& draws = m_ws.history().draws();
    ASSERT_EQ(draws.size(), 7u * 78);
    EXPECT_EQ(draws.front().issue, "160115001");
    EXPECT_EQ(draws.back().issue, "160121078");
    EXPECT_EQ(message, QStringLiteral("在线更新完成：新增546期，拒绝0期。"));

    // Numbers come from their offsets; online draws keep the last digit of year, month, day.
    const DrawRecord& d = draws[5];
    const QString numbers = FixtureResultsPages::numbersFor(d.issue);
    EXPECT_EQ(QString("%1%2%3").arg(d.number(1)).arg(d.number(2)).arg(d.number(3)), numbers);
    EXPECT_EQ(d.value("NF"), 2016);
    EXPECT_EQ(d.value("NFW"), 6);
    EXPECT_EQ(d.value("SQH"), 6);
    EXPECT_EQ(draws[77].value("QH"), 1);
    // Chained draw by draw: each draw's repeats count against the one before it.
    for (size_t i = 1; i < 10; ++i) {
        int same = 0;
        for (int p = 1; p <= 3; ++p)
            same += draws[i].number(p) == draws[i - 1].number(p);
        EXPECT_EQ(draws[i].value("LX"), same);
    }
    EXPECT_EQ(draws[0].value("LY"), 0);
}

TEST_F(OnlineUpdate, AppendsAfterTheNewestStoredDraw)
{
    addDraws(m_ws, {{"160121039", "666"}, {"160121040", "123"}});
    servePage(fujianDays(QDate(2016, 1, 20), 1, kToday, 60));
    QString message;
    ASSERT_TRUE(runUpdate(&message)) << message.toStdString();
    EXPECT_EQ(m_server.lastCount(), 78);
    const QStringList issues = issuesOf(m_ws);
    ASSERT_EQ(issues.size(), 22);
    EXPECT_EQ(issues[2], "160121041");
    EXPECT_EQ(issues.last(), "160121060");
    // The first new draw is chained from the newest stored one (1, 2, 3).
    const DrawRecord& first = m_ws.history().draws()[2];
    int any = 0;
    for (int p = 1; p <= 3; ++p)
        any += first.number(p) >= 1 && first.number(p) <= 3;
    EXPECT_EQ(first.value("LY"), any);
    EXPECT_EQ(message, QStringLiteral("在线更新完成：新增20期，拒绝0期。"));

    // Run again: nothing new, nothing changed, no failure.
    ASSERT_TRUE(runUpdate(&message));
    EXPECT_EQ(message, QStringLiteral("没有找到新的开奖号码，历史号码没有任何改动。"));
    EXPECT_EQ(issuesOf(m_ws), issues);
}

TEST_F(OnlineUpdate, StaleHistoryIsReplacedOnlyAfterASuccessfulLoad)
{
    addDraws(m_ws, {{"160114001", "123"}, {"160114002", "456"}});
    const QStringList before = issuesOf(m_ws);
    m_server.setReply(FixtureResultsServer::Reply::NotFound);
    QString message;
    EXPECT_FALSE(runUpdate(&message));
    EXPECT_TRUE(message.contains("HTTP 404")) << message.toStdString();
    EXPECT_TRUE(message.contains(QStringLiteral("没有任何改动")));
    EXPECT_EQ(issuesOf(m_ws), before);

    servePage(fujianDays(QDate(2016, 1, 14), 1, QDate(2016, 1, 21), 10));
    ASSERT_TRUE(runUpdate(&message)) << message.toStdString();
    EXPECT_EQ(m_server.lastCount(), 468);
    const QStringList after = issuesOf(m_ws);
    EXPECT_EQ(after.first(), "160115001");
    EXPECT_EQ(after.size(), 6 * 78 + 10);
    EXPECT_TRUE(message.contains(QStringLiteral("已替换")));
    // The first draw of a replaced history has no previous draw.
    EXPECT_EQ(m_ws.history().draws().front().value("LY"), 0);
}

TEST_F(OnlineUpdate, EveryFailureLeavesTheHistoryAndSaysSo)
{
    addDraws(m_ws, {{"160121001", "123"}, {"160121002", "456"}});
    const QStringList before = issuesOf(m_ws);
    const QByteArray goodPage = FixtureResultsPages::page(fujianDays(kToday, 1, kToday, 40));
    struct Case
    {
        const char* name;
        FixtureResultsServer::Reply reply;
        QByteArray page;
        const char* expected; // part of the message
    };
    const std::vector<Case> cases = {
        {"404", FixtureResultsServer::Reply::NotFound, goodPage, "HTTP 404"},
        {"500", FixtureResultsServer::Reply::ServerError, goodPage, "HTTP 500"},
        {"garbage body", FixtureResultsServer::Reply::GarbageBody, goodPage,
         "页面中没有找到期号160121003到160121078"},
        {"not http", FixtureResultsServer::Reply::NotHttp, goodPage, "无法从开奖服务器读取页面"},
        {"truncated transfer", FixtureResultsServer::Reply::Truncated, goodPage, "无法从开奖服务器读取页面"},
        {"hang", FixtureResultsServer::Reply::Hang, goodPage, "秒内没有送来完整的页面"},
        {"newest first", FixtureResultsServer::Reply::Page,
         FixtureResultsPages::page(fujianDays(kToday, 1, kToday, 40), true), "不是按期号从旧到新排列"},
        {"other page", FixtureResultsServer::Reply::Page, "<html><body>维护中</body></html>",
         "页面中没有找到期号"},
    };
    for (const Case& c : cases) {
        m_server.setReply(c.reply);
        m_server.setPage(c.page);
        QString message;
        QElapsedTimer clock;
        clock.start();
        EXPECT_FALSE(runUpdate(&message, 400)) << c.name;
        EXPECT_LT(clock.elapsed(), 3000) << c.name;
        EXPECT_TRUE(message.contains(QString::fromUtf8(c.expected)))
            << c.name << ": " << message.toStdString();
        EXPECT_TRUE(message.endsWith(QStringLiteral("在线更新没有完成，历史号码没有任何改动。"))) << c.name;
        EXPECT_EQ(issuesOf(m_ws), before) << c.name;
    }

    // Server down.
    OnlineUpdateOptions options{QStringLiteral("http://127.0.0.1:%1").arg(FixtureResultsServer::closedPort()),
                                kToday, 6, 2000};
    QString message;
    EXPECT_FALSE(OnlineHistoryUpdate::plan(m_ws, options).runBlocking(&m_ws.history(), &message));
    EXPECT_TRUE(message.contains(QStringLiteral("无法从开奖服务器读取页面"))) << message.toStdString();
    EXPECT_TRUE(message.contains(QStringLiteral("没有任何改动")));
    EXPECT_EQ(issuesOf(m_ws), before);
}

TEST_F(OnlineUpdate, ASlowServerWithinTheBoundIsWaitedFor)
{
    servePage(fujianDays(kToday, 1, kToday, 3));
    m_server.setReply(FixtureResultsServer::Reply::Slow);
    m_server.setDelayMs(300);
    QString message;
    EXPECT_TRUE(runUpdate(&message, 5000)) << message.toStdString();
    EXPECT_EQ(issuesOf(m_ws).size(), 3);
}

TEST_F(OnlineUpdate, BadNumbersRejectTheirDrawOnly)
{
    addDraws(m_ws, {{"160121001", "111"}});
    auto draws = fujianDays(kToday, 1, kToday, 6);
    draws[2].numbers = "370"; // 160121003
    draws[3].numbers = "4x5"; // 160121004
    servePage(draws);
    QString message;
    ASSERT_TRUE(runUpdate(&message)) << message.toStdString();
    EXPECT_EQ(issuesOf(m_ws), QStringList({"160121001", "160121002", "160121005", "160121006"}));
    EXPECT_TRUE(message.startsWith(QStringLiteral("在线更新完成：新增3期，拒绝2期。")))
        << message.toStdString();
    EXPECT_TRUE(message.contains("160121003") && message.contains("160121004"));
    // The draw after the rejected ones is chained from the last stored one.
    const auto& stored = m_ws.history().draws();
    int same = 0;
    for (int p = 1; p <= 3; ++p)
        same += stored[2].number(p) == stored[1].number(p);
    EXPECT_EQ(stored[2].value("LX"), same);
}

TEST_F(OnlineUpdate, APageCutOffInsideADrawRejectsThatDraw)
{
    QByteArray page = FixtureResultsPages::page(fujianDays(kToday, 1, kToday, 5));
    page.truncate(page.lastIndexOf("160121005") + 12); // "1601210051 2" or so, then nothing
    m_server.setReply(FixtureResultsServer::Reply::Page);
    m_server.setPage(page);
    QString message;
    ASSERT_TRUE(runUpdate(&message)) << message.toStdString();
    EXPECT_EQ(issuesOf(m_ws).size(), 4);
    EXPECT_TRUE(message.startsWith(QStringLiteral("在线更新完成：新增4期，拒绝1期。")))
        << message.toStdString();
    EXPECT_TRUE(message.contains(QStringLiteral("160121005的开奖号码不完整")));
}

TEST_F(OnlineUpdate, BeijingEmptyHistoryStartsAtTheFirstListedIssue)
{
    m_ws.setLotteryIndex(kBeijing);
    // Two days of 78 draws listed; the range runs over 2 × 78 + 1 running numbers.
    servePage(FixtureResultsPages::runningDraws(79301, 156, QDate(2016, 1, 20), 78));
    QString message;
    ASSERT_TRUE(runUpdate(&message, 5000, 2)) << message.toStdString();
    EXPECT_EQ(m_server.lastCount(), 156);
    const auto& draws = m_ws.history().draws();
    ASSERT_EQ(draws.size(), 156u);
    EXPECT_EQ(draws.front().issue, "79301");
    EXPECT_EQ(draws.back().issue, "79456");
    const DrawRecord& d = draws[98]; // 79399, drawn on the second day
    EXPECT_EQ(d.value("SQH"), 99);
    EXPECT_EQ(d.value("QH"), 100); // no wrap for the running count
    EXPECT_EQ(d.value("SQHW"), 18);
    EXPECT_EQ(d.value("NF"), 2016);
    EXPECT_EQ(d.value("YF"), 1);
    EXPECT_EQ(d.value("RQ"), 21);
    EXPECT_EQ(d.value("RQW"), 1);

    // Next day: from the draw after the newest, (today + 1 − newest date) days.
    auto next = FixtureResultsPages::runningDraws(79301, 156 + 20, QDate(2016, 1, 20), 78);
    servePage(next);
    ASSERT_TRUE(runUpdate(&message, 5000, 2, QDate(2016, 1, 22))) << message.toStdString();
    EXPECT_EQ(m_server.lastCount(), 156);
    EXPECT_EQ(m_ws.history().draws().size(), 176u);
    EXPECT_EQ(m_ws.history().draws().back().value("RQ"), 22);
}

TEST_F(OnlineUpdate, TheReplacingWriteIsOneTransaction)
{
    addDraws(m_ws, {{"160114001", "123"}, {"160114002", "456"}});
    const QStringList before = issuesOf(m_ws);
    // The database refuses the third new draw: the deletion and the first two go back too.
    QSqlQuery q(m_ws.database().connection());
    ASSERT_TRUE(q.exec("CREATE TRIGGER refuse BEFORE INSERT ON Lishi WHEN NEW.strQQH = '160121003' "
                       "BEGIN SELECT RAISE(ABORT, 'refused'); END"));
    servePage(fujianDays(kToday, 1, kToday, 5));
    QString message;
    EXPECT_FALSE(runUpdate(&message));
    EXPECT_TRUE(message.contains("160121003")) << message.toStdString();
    EXPECT_TRUE(message.contains(QStringLiteral("没有任何改动")));
    QString error;
    ASSERT_TRUE(m_ws.history().reload(&error));
    EXPECT_EQ(issuesOf(m_ws), before);
}

TEST(PageFetcher, CancelEndsTheWaitAtOnce)
{
    FixtureResultsServer server;
    server.setReply(FixtureResultsServer::Reply::Hang);
    PageFetcher fetcher;
    fetcher.setTimeout(10000);
    QTimer::singleShot(100, &fetcher, &PageFetcher::cancel);
    QElapsedTimer clock;
    clock.start();
    const FetchResult r = fetcher.fetch(QUrl(server.baseUrl() + "/?n=78"));
    EXPECT_EQ(r.status, FetchResult::Cancelled);
    EXPECT_LT(clock.elapsed(), 3000);
    EXPECT_EQ(r.error, QStringLiteral("在线更新已取消。"));
    EXPECT_EQ(fetcher.fetch(QUrl("not a url")).status, FetchResult::Failed);
}

// ---------------------------------------------------------------------------------------------
// Pages in other layouts, read with the history import's reader.

namespace {

// A results page whose numbers stand in cells of their own, with the sum after them, newest
// first, the issue with the full year.
QByteArray cellsPage(const std::vector<FixtureDraw>& draws)
{
    QString html =
        QStringLiteral("<html><body><table><tr><th>期号</th><th>百位</th><th>十位</th><th>个位</th>"
                       "<th>和值</th></tr>\n");
    for (auto it = draws.rbegin(); it != draws.rend(); ++it) {
        int sum = 0;
        html += QStringLiteral("<tr><td>20%1</td>").arg(it->issue);
        for (QChar c : it->numbers) {
            html += QStringLiteral("<td>%1</td>").arg(c);
            sum += c.digitValue();
        }
        html += QStringLiteral("<td>%1</td></tr>\n").arg(sum);
    }
    return (html + QStringLiteral("</table></body></html>")).toUtf8();
}

} // namespace

TEST_F(OnlineUpdate, APageWithNumbersInCellsIsRead)
{
    addDraws(m_ws, {{"160121040", "123"}});
    const auto draws = fujianDays(kToday, 41, kToday, 60);
    m_server.setReply(FixtureResultsServer::Reply::Page);
    m_server.setPage(cellsPage(draws));
    QString message;
    ASSERT_TRUE(runUpdate(&message)) << message.toStdString();
    EXPECT_EQ(message, QStringLiteral("在线更新完成：新增20期，拒绝0期。"));
    const auto& stored = m_ws.history().draws();
    ASSERT_EQ(stored.size(), 21u);
    for (size_t i = 1; i < stored.size(); ++i) {
        EXPECT_EQ(stored[i].issue, draws[i - 1].issue);
        EXPECT_EQ(QStringLiteral("%1%2%3")
                      .arg(stored[i].number(1))
                      .arg(stored[i].number(2))
                      .arg(stored[i].number(3)),
                  draws[i - 1].numbers);
    }
}

TEST_F(OnlineUpdate, APageThatYieldsNoDrawFailsAndOneListedTwiceRejectsThatIssue)
{
    addDraws(m_ws, {{"160121040", "123"}});
    const QStringList before = issuesOf(m_ws);
    // Issues listed, no numbers readable: a failed update, not "added 0".
    m_server.setReply(FixtureResultsServer::Reply::Page);
    m_server.setPage("<html><body><table><tr><td>160121041</td><td>等待开奖</td></tr>"
                     "<tr><td>160121042</td><td>等待开奖</td></tr></table></body></html>");
    QString message;
    EXPECT_FALSE(runUpdate(&message));
    EXPECT_TRUE(message.contains(QStringLiteral("一期也不能保存"))) << message.toStdString();
    EXPECT_TRUE(message.contains("160121041"));
    EXPECT_TRUE(message.endsWith(QStringLiteral("历史号码没有任何改动。")));
    EXPECT_EQ(issuesOf(m_ws), before);
    // Only draws beyond the draws per day: failed as well.
    m_server.setPage("<html><body><p>160121079 1 2 3</p><p>160121080 2 2 2</p></body></html>");
    EXPECT_FALSE(runUpdate(&message));
    EXPECT_TRUE(message.contains(QStringLiteral("期号160121079：福建快3每天只有78期")))
        << message.toStdString();
    EXPECT_EQ(issuesOf(m_ws), before);

    // One issue twice with different numbers: that issue is refused, the others are stored.
    m_server.setPage("<html><body><p>160121041 1 2 3</p><p>160121042 4 5 6</p><p>160121041 6 6 6</p>"
                     "<p>160121043 2 2 3</p></body></html>");
    ASSERT_TRUE(runUpdate(&message)) << message.toStdString();
    EXPECT_TRUE(message.contains(QStringLiteral("期号160121041：页面上列出了几次，开奖号码不同（123、666）")))
        << message.toStdString();
    EXPECT_EQ(issuesOf(m_ws), QStringList({"160121040", "160121042", "160121043"}));
}
