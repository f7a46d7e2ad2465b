#include "CliRunner.h"
#include "FixtureResultsPages.h"
#include "FixtureResultsServer.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

TEST(CliOnlineUpdate, AddsTheDrawsAndCountsThem)
{
    TempDataFolder dir;
    FixtureResultsServer server;
    auto draws = FixtureResultsPages::datedDraws(QDate(2016, 1, 19), 1, QDate(2016, 1, 21), 30, 78);
    draws.back().numbers = "909";
    server.setPage(FixtureResultsPages::page(draws));
    const CliResult r = runCli(dir.path(), {"history", "update", "--base-url", server.baseUrl(), "--today",
                                            "160121", "--days", "2"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, "added 185 rejected 1\n");
    EXPECT_TRUE(r.err.contains("160121030")) << r.err.toStdString();
    EXPECT_EQ(server.lastCount(), 156);
    const QStringList listed = runCli(dir.path(), {"history", "list"}).out.trimmed().split('\n');
    ASSERT_EQ(listed.size(), 186);
    EXPECT_TRUE(listed[1].startsWith("160119001\t"));

    // The second time only the bad draw is new: a page that yields no draw is a failed update.
    const CliResult again =
        runCli(dir.path(), {"history", "update", "--base-url", server.baseUrl(), "--today", "160121"});
    EXPECT_EQ(again.exitCode, 1);
    EXPECT_TRUE(again.out.isEmpty());
    EXPECT_TRUE(again.err.contains("160121030")) << again.err.toStdString();
}

TEST(CliOnlineUpdate, AFailureChangesNothingAndSaysSo)
{
    TempDataFolder dir;
    FixtureResultsServer server;
    ASSERT_EQ(runCli(dir.path(), {"history", "add", "160121001", "356"}).exitCode, 0);
    server.setReply(FixtureResultsServer::Reply::ServerError);
    const CliResult r =
        runCli(dir.path(), {"history", "update", "--base-url", server.baseUrl(), "--today", "160121"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.out.isEmpty());
    EXPECT_TRUE(r.err.contains("HTTP 500")) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("历史号码没有任何改动")));
    EXPECT_EQ(runCli(dir.path(), {"history", "list"}).out, "strQQH\tL1A\tL2A\tL3A\n160121001\t3\t5\t6\n");

    server.setReply(FixtureResultsServer::Reply::Hang);
    const CliResult slow = runCli(dir.path(), {"history", "update", "--base-url", server.baseUrl(), "--today",
                                               "160121", "--timeout", "0.3"});
    EXPECT_EQ(slow.exitCode, 1);
    EXPECT_TRUE(slow.err.contains(QStringLiteral("0.3秒内没有送来完整的页面"))) << slow.err.toStdString();
}

TEST(CliOnlineUpdate, Usage)
{
    TempDataFolder dir;
    for (const QStringList& args :
         {QStringList{"--today", "161321"}, QStringList{"--days", "11"}, QStringList{"--days"},
          QStringList{"--timeout", "x"}, QStringList{"--nope", "1"}})
        EXPECT_EQ(runCli(dir.path(), QStringList{"history", "update"} + args).exitCode, 2)
            << args.join(' ').toStdString();
}

TEST(CliOnlineUpdate, APageWithIssuesButNoDrawExitsOne)
{
    TempDataFolder dir;
    FixtureResultsServer server;
    ASSERT_EQ(runCli(dir.path(), {"history", "add", "160121001", "356"}).exitCode, 0);
    QByteArray page = "<html><body><table>";
    for (int i = 2; i <= 40; ++i)
        page += QStringLiteral("<tr><td>1601210%1</td><td>-</td></tr>").arg(i, 2, 10, QChar('0')).toUtf8();
    server.setPage(page + "</table></body></html>");
    const CliResult r =
        runCli(dir.path(), {"history", "update", "--base-url", server.baseUrl(), "--today", "160121"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.out.isEmpty());
    EXPECT_TRUE(r.err.contains(QStringLiteral("一期也不能保存"))) << r.err.toStdString();
    EXPECT_EQ(runCli(dir.path(), {"history", "list"}).out, "strQQH\tL1A\tL2A\tL3A\n160121001\t3\t5\t6\n");
}
