#include "CliRunner.h"
#include "SyntheticHistory.h"
#include "TestSupport.h"

#include "history/HistoryTextFile.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QThread>
#include <gtest/gtest.h>
#include <xlsxwriter.h>

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
    // Deleting every draw wants the same confirmation as clearing every formula.
    EXPECT_EQ(runCli(dir.path(), {"history", "delete", "--all"}).exitCode, 2);
    EXPECT_EQ(runCli(dir.path(), {"history", "list"}).out.count('\n'), 2);
    EXPECT_EQ(runCli(dir.path(), {"history", "delete", "--all", "--yes"}).exitCode, 0);
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
    EXPECT_EQ(r.out, "added 2 already-stored 0 unreadable 0 gaps-filled 0\n");

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
    EXPECT_EQ(r.out, "added 1 already-stored 1 unreadable 1 gaps-filled 0\n");
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

TEST(CliHistory, AddPrintsTheStoredDrawAndTheNextIssue)
{
    TempDataFolder dir;
    const CliResult r = runCli(dir.path(), {"history", "add", "160121078", "356"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, "160121078 356\nnext 160122001\n");
    EXPECT_TRUE(r.err.isEmpty());
}

// A draw added into a gap is printed as stored, not the newest draw; the gap is named on a line of
// its own after the proposed next issue.
TEST(CliHistory, AddIntoAGapPrintsTheDrawStoredAndTheGap)
{
    TempDataFolder dir;
    ASSERT_EQ(runCli(dir.path(), {"history", "add", "160121001", "111"}).exitCode, 0);
    ASSERT_EQ(runCli(dir.path(), {"history", "add", "160121003", "333"}).exitCode, 0);
    const CliResult r = runCli(dir.path(), {"history", "add", "160121002", "222"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, "160121002 222\nnext 160121004\nfilled-gap 160121001 160121003\n");
    EXPECT_EQ(runCli(dir.path(), {"history", "list"}).out,
              "strQQH\tL1A\tL2A\tL3A\n160121001\t1\t1\t1\n160121002\t2\t2\t2\n160121003\t3\t3\t3\n");

    // Before the oldest draw: refused with the reason, nothing printed on stdout or stored.
    const CliResult older = runCli(dir.path(), {"history", "add", "160120078", "123"});
    EXPECT_EQ(older.exitCode, 1);
    EXPECT_TRUE(older.out.isEmpty());
    EXPECT_TRUE(older.err.contains(QStringLiteral("期号160120078早于已存的最早一期160121001")))
        << older.err.toStdString();
    EXPECT_EQ(runCli(dir.path(), {"history", "list"}).out.count('\n'), 4);
}

// A few thousand draws imported with lines refused, then the whole file again: the summary counts
// the gaps filled, and every stored column is what one import of the whole file gives.
TEST(CliHistory, ImportCountsTheGapsFilledAndChainsAsOneImportInOrder)
{
    TempDataFolder dir;
    const std::vector<DrawRecord> all = syntheticDraws(3000, 17, true);
    const QByteArray text = HistoryTextFile::format(all);
    QByteArray partial;
    int skipped = 0;
    for (size_t i = 0; i < all.size(); ++i) {
        if (i > 0 && i < 2900 && i % 101 == 0) {
            ++skipped;
            continue;
        }
        partial += HistoryTextFile::format({all[i]});
    }
    const QString data = dir.file("gaps");
    const QString whole = dir.file("whole");
    QDir().mkpath(data);
    QDir().mkpath(whole);
    CliResult r = runCli(data, {"history", "import", "-"}, partial);
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out,
              QStringLiteral("added %1 already-stored 0 unreadable 0 gaps-filled 0\n").arg(3000 - skipped));
    r = runCli(data, {"history", "import", "-"}, text);
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QStringLiteral("added %1 already-stored %2 unreadable 0 gaps-filled %1\n")
                         .arg(skipped)
                         .arg(3000 - skipped));
    ASSERT_EQ(runCli(whole, {"history", "import", "-"}, text).exitCode, 0);
    const CliResult filled = runCli(data, {"history", "list", "--all-columns"});
    EXPECT_EQ(filled.out.count('\n'), 3001);
    EXPECT_EQ(filled.out, runCli(whole, {"history", "list", "--all-columns"}).out);
}

TEST(CliHistory, BeijingRunningCountsAreAddedByHand)
{
    TempDataFolder dir;
    const QStringList beijing{"--lottery", "9", "history", "add"};
    const CliResult first = runCli(dir.path(), beijing + QStringList{"79549", "123"});
    ASSERT_EQ(first.exitCode, 0) << first.err.toStdString();
    EXPECT_EQ(first.out, "79549 123\nnext 79550\n");
    EXPECT_EQ(runCli(dir.path(), beijing + QStringList{"79550", "456"}).exitCode, 0);

    const QStringList rows =
        runCli(dir.path(), {"history", "list", "--all-columns"}).out.trimmed().split('\n');
    ASSERT_EQ(rows.size(), 3);
    const QStringList header = rows[0].split('\t');
    const QStringList newest = rows[2].split('\t');
    auto column = [&](const char* code) { return newest.value(int(header.indexOf(QLatin1String(code)))); };
    EXPECT_EQ(newest[0], "79550"); // stored as the newest draw
    EXPECT_EQ(column("SQH"), "50");
    EXPECT_EQ(column("QH"), "51");
    const QDate today = QDate::currentDate();
    EXPECT_EQ(column("NF"), QString::number(today.year()));
    EXPECT_EQ(column("YF"), QString::number(today.month()));
    EXPECT_EQ(column("RQ"), QString::number(today.day()));

    // Before the oldest draw, or a dated issue that sorts there, is refused and stores nothing.
    for (const char* issue : {"79548", "160121001"}) {
        const CliResult refused = runCli(dir.path(), beijing + QStringList{QLatin1String(issue), "123"});
        EXPECT_EQ(refused.exitCode, 1) << issue;
        EXPECT_TRUE(refused.err.contains(QStringLiteral("早于已存的最早一期79549")))
            << refused.err.toStdString();
    }
    EXPECT_EQ(runCli(dir.path(), {"history", "list"}).out.count('\n'), 3);
    // Dated lotteries keep their rules.
    EXPECT_EQ(runCli(dir.path(), {"history", "add", "12345", "123"}).exitCode, 1);
}

TEST(CliHistory, DeleteAfterTakesOnlyWhatTheWindowTakes)
{
    TempDataFolder dir;
    for (const char* issue : {"160121001", "160121002", "160121003"})
        ASSERT_EQ(runCli(dir.path(), {"history", "add", QLatin1String(issue), "123"}).exitCode, 0);
    const QString before = runCli(dir.path(), {"history", "list"}).out;
    for (const char* answer : {"", " ", "-2", "160121000", "16012100x", "1", "150101001"}) {
        const CliResult r = runCli(dir.path(), {"history", "delete", "--after", QLatin1String(answer)});
        EXPECT_EQ(r.exitCode, 2) << answer;
        EXPECT_FALSE(r.err.isEmpty()) << answer;
        EXPECT_EQ(runCli(dir.path(), {"history", "list"}).out, before) << answer;
    }
    EXPECT_EQ(runCli(dir.path(), {"history", "delete", "--after", " 160121002 "}).exitCode, 0);
    EXPECT_EQ(runCli(dir.path(), {"history", "list"}).out,
              "strQQH\tL1A\tL2A\tL3A\n160121001\t1\t2\t3\n160121002\t1\t2\t3\n");
}

TEST(CliHistory, ExportingAnEmptyHistoryIsRefused)
{
    TempDataFolder dir;
    const CliResult r = runCli(dir.path(), {"history", "export"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("没有历史号码")));
    EXPECT_FALSE(QFile::exists(dir.file(QStringLiteral("更新至期历史号码.txt"))));
}

TEST(CliConventions, HelpForEveryCommandAndSubcommandAndTheVersion)
{
    TempDataFolder dir;
    const QList<QStringList> commands{{},
                                      {"derive"},
                                      {"history"},
                                      {"history", "add"},
                                      {"history", "import"},
                                      {"history", "export"},
                                      {"history", "list"},
                                      {"history", "delete"},
                                      {"history", "update"},
                                      {"translate"},
                                      {"formula"},
                                      {"formula", "add"},
                                      {"formula", "list"},
                                      {"formula", "import"},
                                      {"formula", "export"},
                                      {"formula", "clear"},
                                      {"formula", "update"},
                                      {"backtest"},
                                      {"search"},
                                      {"scheme"},
                                      {"pastrank"},
                                      {"calc"}};
    for (const QStringList& command : commands) {
        for (const char* flag : {"--help", "-h"}) {
            const CliResult r = runCli(dir.path(), command + QStringList{QLatin1String(flag)});
            const std::string what = (command.join(' ') + ' ' + QLatin1String(flag)).toStdString();
            EXPECT_EQ(r.exitCode, 0) << what;
            EXPECT_TRUE(r.out.startsWith("usage: zorvane-cli " + command.join(' ')))
                << what << r.out.toStdString();
            EXPECT_TRUE(r.err.isEmpty()) << what;
        }
    }
    // A subcommand's help names that subcommand only, one line per option.
    const QStringList help = runCli(dir.path(), {"history", "delete", "--help"}).out.split('\n');
    EXPECT_EQ(help[0], "usage: zorvane-cli history delete [--last K] [--after ISSUE] [--all] [--yes]");
    EXPECT_EQ(help.filter(QRegularExpression("^  --")).size(), 4);
    const CliResult version = runCli(dir.path(), {"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_TRUE(version.out.startsWith("zorvane-cli ")) << version.out.toStdString();
    // Usage errors still exit 2, with the usage on stderr.
    const CliResult bad = runCli(dir.path(), {"history", "delete"});
    EXPECT_EQ(bad.exitCode, 2);
    EXPECT_TRUE(bad.out.isEmpty());
    EXPECT_EQ(runCli(dir.path(), {}).exitCode, 2);
}

TEST(CliConventions, ADatabaseLockedByAnotherProgramIsWaitedForAndNamedAsInUse)
{
    TempDataFolder dir;
    ASSERT_EQ(runCli(dir.path(), {"history", "add", "160121001", "123"}).exitCode, 0);
    const QString connection = QStringLiteral("other-program");
    {
        QSqlDatabase other = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        other.setDatabaseName(dir.file("formula.mdb"));
        ASSERT_TRUE(other.open());
        QSqlQuery lock(other);
        ASSERT_TRUE(lock.exec(QStringLiteral("BEGIN EXCLUSIVE")));

        // A lock released within a few seconds is waited for.
        QProcess waiting;
        waiting.start(QStringLiteral(ZORVANE_CLI_PATH),
                      {"--data-dir", dir.path(), "history", "add", "160121002", "456"});
        ASSERT_TRUE(waiting.waitForStarted());
        QThread::msleep(1500);
        ASSERT_TRUE(other.commit());
        ASSERT_TRUE(waiting.waitForFinished(30000));
        EXPECT_EQ(waiting.exitCode(), 0) << waiting.readAllStandardError().toStdString();

        // A lock that stays is reported as another program using the data folder, never as damage.
        ASSERT_TRUE(lock.exec(QStringLiteral("BEGIN EXCLUSIVE")));
        const CliResult r = runCli(dir.path(), {"history", "list"});
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_TRUE(r.err.contains(QStringLiteral("另一个程序正在使用数据文件夹"))) << r.err.toStdString();
        EXPECT_FALSE(r.err.contains(QStringLiteral("损坏")));
        other.rollback();
        other.close();
    }
    QSqlDatabase::removeDatabase(connection);
    EXPECT_EQ(runCli(dir.path(), {"history", "list"}).out.count('\n'), 3);
}

TEST(CliHistory, TheSeventyNinthDrawEndlessInputAndWorkbookSheets)
{
    TempDataFolder dir;
    // A 78-draw day has no 79th draw and no 000th, by hand or by import.
    CliResult r = runCli(dir.path(), {"history", "add", "160121079", "356"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("期号160121079：福建快3每天只有78期"))) << r.err.toStdString();
    EXPECT_EQ(runCli(dir.path(), {"history", "add", "160121000", "356"}).exitCode, 1);
    r = runCli(dir.path(), {"history", "import", "-"}, "20160121078 1 2 3\n20160121079 3 5 6\n");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("第2行：期号160121079：福建快3每天只有78期")))
        << r.err.toStdString();
    r = runCli(dir.path(), {"history", "import", "--skip-bad", "-"},
               "20160121078 1 2 3\n20160121079 3 5 6\n");
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, "added 1 already-stored 0 unreadable 1 gaps-filled 0\n");
    // The day's last draw is followed by the next day's first.
    r = runCli(dir.path(), {"history", "add", "160122001", "111"});
    EXPECT_EQ(r.out, "160122001 111\nnext 160122002\n");

    // Endless input ends in a message, not in a crash; nothing is stored.
    r = runCli(dir.path(), {"history", "import", "/dev/zero"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("超过1 MB"))) << r.err.toStdString();
    r = runCli(dir.path(), {"history", "import", "-"}, QByteArray(2 * 1024 * 1024, '1'));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("标准输入"))) << r.err.toStdString();
    // A table that stores the sum before the numbers.
    r = runCli(dir.path(), {"history", "import", "-"},
               "160122002,2016-01-22,6,1,2,3\n160122003,2016-01-22,5,1,1,3\n160122004,2016-01-22,4,1,1,2\n");
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(runCli(dir.path(), {"history", "list"})
                    .out.endsWith("160122002\t1\t2\t3\n160122003\t1\t1\t3\n"
                                  "160122004\t1\t1\t2\n"));
    // Rows that read two ways store nothing.
    r = runCli(dir.path(), {"history", "import", "-"}, "160122005,1,2,3,4\n160122006,2,3,4,5\n");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("两种同样可能的读法")));

    // A workbook: the first sheet has no draws and says which sheets there are; --sheet picks one.
    const QString book = dir.file("h.xlsx");
    lxw_workbook* wb = workbook_new(QFile::encodeName(book).constData());
    worksheet_write_string(workbook_add_worksheet(wb, "说明"), 0, 0, "历史在第二页", nullptr);
    lxw_worksheet* sheet = workbook_add_worksheet(wb, "开奖");
    worksheet_write_number(sheet, 0, 0, 20160122005, nullptr);
    worksheet_write_string(sheet, 0, 1, "2,2,4", nullptr);
    ASSERT_EQ(workbook_close(wb), LXW_NO_ERROR);
    r = runCli(dir.path(), {"history", "import", book});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("工作簿里还有工作表：开奖"))) << r.err.toStdString();
    EXPECT_EQ(runCli(dir.path(), {"history", "import", book, "--sheet", "没有"}).exitCode, 1);
    r = runCli(dir.path(), {"history", "import", book, "--sheet", "开奖"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, "added 1 already-stored 0 unreadable 0 gaps-filled 0\n");
    EXPECT_EQ(runCli(dir.path(), {"history", "import", book, "--sheet", "2"}).out,
              "added 0 already-stored 1 unreadable 0 gaps-filled 0\n");
}
