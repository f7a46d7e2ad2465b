#include "CliRunner.h"
#include "TestSupport.h"

#include <QFile>
#include <gtest/gtest.h>

TEST(CliDerive, PrintsEveryColumnInOrder)
{
    TempDataFolder dir;
    const CliResult r = runCli(dir.path(), {"derive", "--prev", "123", "160121005", "335"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QStringList lines = r.out.trimmed().split('\n');
    ASSERT_EQ(lines.size(), 78);
    EXPECT_EQ(lines[0], "strQQH\t160121005");
    EXPECT_EQ(lines[1], "L1A\t3");
    EXPECT_TRUE(lines.contains("LY\t2"));
    EXPECT_TRUE(lines.contains("NFW\t9"));
    const CliResult online = runCli(dir.path(), {"derive", "--online", "160121005", "335"});
    EXPECT_TRUE(online.out.contains("NFW\t6\n"));
    EXPECT_TRUE(online.out.contains("LY\t0\n"));
}

TEST(CliDerive, ErrorsAndUsage)
{
    TempDataFolder dir;
    EXPECT_EQ(runCli(dir.path(), {"derive", "160121005", "375"}).exitCode, 1);
    EXPECT_EQ(runCli(dir.path(), {"derive", "1601", "335"}).exitCode, 1);
    EXPECT_EQ(runCli(dir.path(), {"derive", "160121005"}).exitCode, 2);
    EXPECT_EQ(runCli(dir.path(), {"nosuchcommand"}).exitCode, 2);
    EXPECT_EQ(runCli(dir.path(), {"--lottery", "15", "derive", "160121005", "335"}).exitCode, 2);
    // A lottery with 82 draws a day does not wrap after draw 78.
    EXPECT_TRUE(
        runCli(dir.path(), {"--lottery", "2", "derive", "160121078", "335"}).out.contains("QH\t79\n"));
}

TEST(CliHistory, AddListExportDelete)
{
    TempDataFolder dir;
    EXPECT_EQ(runCli(dir.path(), {"history", "add", "160121077", "356"}).exitCode, 0);
    EXPECT_EQ(runCli(dir.path(), {"history", "add", "160121078", "124"}).exitCode, 0);
    const CliResult dup = runCli(dir.path(), {"history", "add", "160121078", "124"});
    EXPECT_EQ(dup.exitCode, 1);
    EXPECT_TRUE(dup.err.contains("160121078"));
    EXPECT_EQ(runCli(dir.path(), {"history", "list"}).out,
              "strQQH\tL1A\tL2A\tL3A\n160121077\t3\t5\t6\n160121078\t1\t2\t4\n");
    const CliResult all = runCli(dir.path(), {"history", "list", "--all-columns"});
    EXPECT_EQ(all.out.split('\n')[0].split('\t').size(), 78);

    const CliResult exported = runCli(dir.path(), {"history", "export"});
    ASSERT_EQ(exported.exitCode, 0);
    const QString path = dir.file(QStringLiteral("更新至160121078期历史号码.txt"));
    EXPECT_EQ(exported.out.trimmed(), path);
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray text = f.readAll();
    EXPECT_EQ(text, "160121077 356\r\n160121078 124\r\n");

    // The export reads back through the import.
    TempDataFolder other;
    EXPECT_EQ(runCli(other.path(), {"history", "import", path}).exitCode, 0);
    EXPECT_EQ(runCli(other.path(), {"history", "list", "--all-columns"}).out, all.out);

    EXPECT_EQ(runCli(dir.path(), {"history", "delete", "--last", "1"}).exitCode, 0);
    EXPECT_EQ(runCli(dir.path(), {"history", "list"}).out.count('\n'), 2);
    EXPECT_EQ(runCli(dir.path(), {"history", "delete", "--all"}).exitCode, 0);
    EXPECT_EQ(runCli(dir.path(), {"history", "list"}).out, "strQQH\tL1A\tL2A\tL3A\n");
    EXPECT_EQ(runCli(dir.path(), {"history", "delete", "--last", "x"}).exitCode, 2);
}

TEST(CliHistory, ImportWithBadLinesAppendsNothing)
{
    TempDataFolder dir;
    const QString file = dir.file("draws.txt");
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("160121001 123\n160121002 183\n160121003 1234\n");
    f.close();
    const CliResult r = runCli(dir.path(), {"history", "import", file});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("第2行")));
    EXPECT_TRUE(r.err.contains(QStringLiteral("第3行")));
    EXPECT_EQ(runCli(dir.path(), {"history", "list"}).out, "strQQH\tL1A\tL2A\tL3A\n");
    EXPECT_EQ(runCli(dir.path(), {"history", "delete", "--after", "160121001"}).exitCode, 0);
}

TEST(CliHistory, ImportsTablesAndPagesFromFilesAndStandardInput)
{
    TempDataFolder dir;
    // A spreadsheet's TSV on standard input.
    CliResult r = runCli(dir.path(), {"history", "import", "-"},
                         "期号\t开奖号码\r\n160121001\t1 2 3\r\n160121002\t3 3 5\r\n");
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, "added 2 already-stored 0 unreadable 0\n");

    // A copied page: one draw stored already, one new, one pending line that cannot be read.
    const QString page = dir.file("page.txt");
    QFile f(page);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("160121004 10:00 等待开奖\n160121003 2016-01-21 09:50 4 5 6\n160121002 2016-01-21 09:40 3 3 5\n");
    f.close();
    r = runCli(dir.path(), {"history", "import", page});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("第1行：期号160121004后面没有三个开奖号码")));
    EXPECT_TRUE(r.err.contains("--skip-bad"));
    EXPECT_EQ(runCli(dir.path(), {"history", "list"}).out.count('\n'), 3);

    r = runCli(dir.path(), {"history", "import", "--skip-bad", page});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, "added 1 already-stored 1 unreadable 1\n");
    EXPECT_TRUE(r.err.contains(QStringLiteral("第1行")));
    EXPECT_EQ(runCli(dir.path(), {"history", "list"}).out,
              "strQQH\tL1A\tL2A\tL3A\n160121001\t1\t2\t3\n160121002\t3\t3\t5\n160121003\t4\t5\t6\n");

    // Text with no draw at all is an error, not an import of nothing; so is a missing file.
    r = runCli(dir.path(), {"history", "import", "-"}, "开奖公告\n暂无数据\n");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("没有找到开奖号码")));
    EXPECT_EQ(runCli(dir.path(), {"history", "import", dir.file("missing.csv")}).exitCode, 1);
    EXPECT_EQ(runCli(dir.path(), {"history", "import"}).exitCode, 2);
}
