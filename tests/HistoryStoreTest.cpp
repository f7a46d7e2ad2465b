#include "TestSupport.h"

#include "formula/FormulaTableStore.h"
#include "history/DrawDeriver.h"
#include "history/HistoryImport.h"
#include "history/HistoryTextFile.h"
#include "history/LotteryTable.h"
#include "history/Workspace.h"
#include "store/Settings.h"

#include <QDir>
#include <QFile>
#include <QSqlQuery>
#include <QSqlRecord>
#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

QStringList issues(Workspace& ws)
{
    QStringList out;
    for (const auto& d : ws.history().draws())
        out << d.issue;
    return out;
}

} // namespace

TEST(HistoryStore, CreatesSchemaOnFirstOpen)
{
    TempDataFolder dir;
    Workspace ws;
    QString error;
    ASSERT_TRUE(ws.open(dir.path(), &error)) << error.toStdString();
    EXPECT_TRUE(QFile::exists(dir.file("formula.mdb")));
    QSqlDatabase db = ws.database().connection();
    EXPECT_EQ(db.record("Lishi").count(), 1 + kParameterCount + 5);
    for (const QString& t : Database::formulaTables())
        EXPECT_EQ(db.record(t).count(), 9) << t.toStdString();
    QSqlQuery q(db);
    ASSERT_TRUE(q.exec("SELECT count(*), min(Num), max(Num) FROM Errarr") && q.next());
    EXPECT_EQ(q.value(0).toInt(), 6);
    EXPECT_EQ(q.value(2).toInt(), 6);
    EXPECT_EQ(db.record("ErrarrLei").count(), 4);
}

TEST(HistoryStore, BringsOldFileUpToDate)
{
    TempDataFolder dir;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "old");
        db.setDatabaseName(dir.file("formula.mdb"));
        ASSERT_TRUE(db.open());
        QSqlQuery q(db);
        ASSERT_TRUE(q.exec("CREATE TABLE Lishi (strQQH TEXT, L1A INTEGER, L2A INTEGER, L3A INTEGER)"));
        ASSERT_TRUE(q.exec("INSERT INTO Lishi VALUES ('160121001', 1, 2, 3)"));
        ASSERT_TRUE(
            q.exec("CREATE TABLE Gongshi1D (idx INTEGER, gongshi TEXT, gongshiCN TEXT, bolKill INTEGER)"));
        db.close();
    }
    QSqlDatabase::removeDatabase("old");
    Workspace ws;
    QString error;
    ASSERT_TRUE(ws.open(dir.path(), &error)) << error.toStdString();
    EXPECT_EQ(ws.database().connection().record("Lishi").count(), 1 + kParameterCount + 5);
    EXPECT_EQ(ws.database().connection().record("Gongshi1D").count(), 9);
    ASSERT_EQ(ws.history().draws().size(), 1u);
    EXPECT_EQ(ws.history().draws()[0].number(3), 3);
}

TEST(HistoryStore, RefusesFileThatIsNotADatabaseAndLeavesItAlone)
{
    TempDataFolder dir;
    const QByteArray garbage = QByteArray("this is not a database at all, just text\n").repeated(200);
    {
        QFile f(dir.file("formula.mdb"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(garbage);
    }
    Workspace ws;
    QString error;
    EXPECT_FALSE(ws.open(dir.path(), &error));
    EXPECT_TRUE(error.contains("formula.mdb")) << error.toStdString();
    QFile f(dir.file("formula.mdb"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), garbage);
}

TEST(HistoryStore, ReadOnlyFolderGivesMessage)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "root can write into read-only folders";
    TempDataFolder dir;
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner);
    Workspace ws;
    QString error;
    EXPECT_FALSE(ws.open(dir.path(), &error));
    EXPECT_FALSE(error.isEmpty());
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

TEST(HistoryStore, TypedDrawsChainAndStayUnique)
{
    TempDataFolder dir;
    Workspace ws;
    QString error;
    ASSERT_TRUE(ws.open(dir.path(), &error));
    addDraws(ws, {{"160121001", "123"}, {"160121002", "335"}});
    const auto& draws = ws.history().draws();
    ASSERT_EQ(draws.size(), 2u);
    EXPECT_EQ(draws[1].value("LY"), 2); // chained from 1, 2, 3
    EXPECT_FALSE(ws.history().addTyped("160121002", {4, 5, 6}, 78, &error));
    EXPECT_TRUE(error.contains("160121002"));
    EXPECT_FALSE(ws.history().addTyped("160121003", {4, 7, 6}, 78, &error));
    EXPECT_FALSE(ws.history().addTyped("1601210", {4, 5, 6}, 78, &error));
    EXPECT_EQ(ws.history().draws().size(), 2u);
    EXPECT_EQ(ws.nextIssue(), "160121003");
}

TEST(HistoryStore, RunningCountDrawsTypedByHandFollowTheNewestDraw)
{
    TempDataFolder dir;
    Workspace ws;
    QString error;
    ASSERT_TRUE(ws.open(dir.path(), &error));
    ws.setLotteryIndex(LotteryTable::kBeijing);
    const QDate today(2016, 1, 21);
    // An empty history takes any running count.
    ASSERT_TRUE(ws.addTypedDraw("79549", {1, 2, 3}, today, &error)) << error.toStdString();
    EXPECT_EQ(ws.nextIssue(), "79550");
    ASSERT_TRUE(ws.addTypedDraw(" 79550 ", {3, 3, 5}, today, &error)) << error.toStdString();
    const DrawRecord& d = *ws.history().newest();
    EXPECT_EQ(d.issue, "79550");
    // The issue columns of the online update, the date columns today's, the sums of hand entry.
    EXPECT_EQ(d.value("SQH"), 50);
    EXPECT_EQ(d.value("QH"), 51);
    EXPECT_EQ(d.value("SQHW"), 5);
    EXPECT_EQ(d.value("QHW"), 6);
    EXPECT_EQ(d.value("NF"), 2016);
    EXPECT_EQ(d.value("YF"), 1);
    EXPECT_EQ(d.value("RQ"), 21);
    EXPECT_EQ(d.value("NFW"), 9);
    EXPECT_EQ(d.value("RQW"), 3);
    EXPECT_EQ(d.value("LY"), 2); // chained from 1, 2, 3
    EXPECT_EQ(ws.nextIssue(), "79551");

    // Issues that would sort before the oldest draw, repeats and non-numbers store nothing.
    for (const char* issue : {"79548", "160121001", "100000", "7955x", ""}) {
        error.clear();
        EXPECT_FALSE(ws.addTypedDraw(issue, {1, 1, 1}, today, &error)) << issue;
        EXPECT_FALSE(error.isEmpty()) << issue;
    }
    EXPECT_FALSE(ws.addTypedDraw("79550", {1, 1, 1}, today, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("已经存在")));
    EXPECT_FALSE(ws.addTypedDraw("79500", {1, 1, 1}, today, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("早于已存的最早一期79549"))) << error.toStdString();
    EXPECT_EQ(issues(ws), QStringList({"79549", "79550"}));

    // Dated lotteries keep asking for nine digits with a date.
    ws.setLotteryIndex(0);
    EXPECT_FALSE(ws.addTypedDraw("79551", {1, 1, 1}, today, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("9位数字")));
}

TEST(HistoryStore, KeepUpToAnswerIsDigitsNotEndingInZerosAndNotBeforeTheOldestDraw)
{
    const std::vector<DrawRecord> none;
    std::vector<DrawRecord> draws(2);
    draws[0].issue = "160121001";
    draws[1].issue = "160121002";
    QString keep, error;
    EXPECT_TRUE(HistoryStore::checkKeepUpTo(" 160121001\t", draws, &keep, &error));
    EXPECT_EQ(keep, "160121001");
    EXPECT_TRUE(HistoryStore::checkKeepUpTo("160122001", draws, &keep, &error)); // deletes nothing
    for (const char* answer : {"", "  ", "-2", "+160121001", "160121000", "1601210O1", "160 121 001"}) {
        error.clear();
        EXPECT_FALSE(HistoryStore::checkKeepUpTo(QString::fromLatin1(answer), none, &keep, &error)) << answer;
        EXPECT_FALSE(error.isEmpty()) << answer;
    }
    // Full-width digits count as no digits.
    EXPECT_FALSE(HistoryStore::checkKeepUpTo(QStringLiteral("１６０１２１００１"), none, &keep, &error));
    // Before the oldest draw every draw would go: only "delete all" does that.
    EXPECT_TRUE(HistoryStore::checkKeepUpTo("1", none, &keep, &error));
    EXPECT_FALSE(HistoryStore::checkKeepUpTo("1", draws, &keep, &error));
    EXPECT_FALSE(HistoryStore::checkKeepUpTo("150101001", draws, &keep, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("删除所有历史")));
}

TEST(HistoryStore, Deletions)
{
    TempDataFolder dir;
    Workspace ws;
    QString error;
    ASSERT_TRUE(ws.open(dir.path(), &error));
    addDraws(ws, {{"160121001", "123"}, {"160121002", "335"}, {"160121003", "456"}, {"160121004", "111"}});
    EXPECT_EQ(ws.history().deleteAfter("160121003", &error), 1);
    EXPECT_EQ(issues(ws), QStringList({"160121001", "160121002", "160121003"}));
    EXPECT_EQ(ws.history().deleteLast(1, &error), 1);
    EXPECT_EQ(issues(ws).size(), 2);
    EXPECT_EQ(ws.history().deleteLast(5, &error), 2);
    EXPECT_TRUE(ws.history().isEmpty());
    addDraws(ws, {{"160121001", "123"}});
    EXPECT_EQ(ws.history().deleteAll(&error), 1);
    EXPECT_TRUE(ws.history().isEmpty());
}

// The compaction rewrites the file in place: the same file (another program keeps its handle on
// it), smaller, with no copy left beside it.
TEST(HistoryStore, CompactionInPlaceKeepsData)
{
    TempDataFolder dir;
    Workspace ws;
    QString error;
    ASSERT_TRUE(ws.open(dir.path(), &error));
    addDraws(ws, {{"160121001", "123"}, {"160121002", "335"}});
    std::vector<FormulaRecord> many(3000);
    for (std::size_t i = 0; i < many.size(); ++i)
        many[i].gongshi = QStringLiteral("L1A+%1").arg(i);
    FormulaTableStore store(&ws.database());
    ASSERT_TRUE(store.append(FormulaKind{1, true}, many, &error)) << error.toStdString();
    QSqlQuery clear(ws.database().connection());
    ASSERT_TRUE(clear.exec("DELETE FROM Gongshi1D"));
    const QString file = dir.file("formula.mdb");
    struct stat before
    {
    };
    ASSERT_EQ(::stat(QFile::encodeName(file).constData(), &before), 0);
    ASSERT_EQ(ws.history().deleteLast(1, &error), 1);
    ASSERT_TRUE(ws.compact(&error)) << error.toStdString();
    struct stat after
    {
    };
    ASSERT_EQ(::stat(QFile::encodeName(file).constData(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_LT(after.st_size, before.st_size / 2);
    EXPECT_FALSE(QFile::exists(dir.file("formulaTmp.mdb")));
    EXPECT_FALSE(QFile::exists(dir.file("formula.mdb-journal")));
    EXPECT_EQ(issues(ws), QStringList({"160121001"}));
    addDraws(ws, {{"160121002", "444"}});
    ASSERT_TRUE(ws.compact(&error)) << error.toStdString();
    Workspace again;
    ASSERT_TRUE(again.open(dir.path(), &error));
    EXPECT_EQ(issues(again), QStringList({"160121001", "160121002"}));
}

TEST(HistoryImport, AllOrNothing)
{
    TempDataFolder dir;
    Workspace ws;
    QString error;
    ASSERT_TRUE(ws.open(dir.path(), &error));
    addDraws(ws, {{"160121001", "123"}});
    QStringList problems;
    EXPECT_EQ(HistoryImport::importText(
                  &ws.history(), "160121002 456\r\n160121003 476\r\nfoo\r\n160121001 111\n", 78, &problems),
              -1);
    ASSERT_EQ(problems.size(), 3);
    EXPECT_TRUE(problems[0].startsWith(QStringLiteral("第2行")));
    EXPECT_TRUE(problems[1].startsWith(QStringLiteral("第3行")));
    EXPECT_TRUE(problems[2].startsWith(QStringLiteral("第4行")));
    EXPECT_EQ(ws.history().draws().size(), 1u);

    problems.clear();
    EXPECT_EQ(
        HistoryImport::importText(&ws.history(), "160121002 456\r\n\r\n160121003 335\r\n", 78, &problems), 2);
    EXPECT_TRUE(problems.isEmpty());
    EXPECT_EQ(ws.history().draws()[2].value("LX"), 0);
    EXPECT_EQ(ws.history().draws()[2].value("LY"), 1); // chained from 4, 5, 6 (from 1, 2, 3 it would be 2)
}

TEST(HistoryTextFile, ExportFormat)
{
    TempDataFolder dir;
    Workspace ws;
    QString error;
    ASSERT_TRUE(ws.open(dir.path(), &error));
    addDraws(ws, {{"160121001", "356"}, {"160121002", "111"}});
    EXPECT_EQ(HistoryTextFile::format(ws.history().draws()),
              QByteArray("160121001 356\r\n160121002 111\r\n"));
    EXPECT_TRUE(HistoryTextFile::exportPath(dir.path(), "160121002")
                    .endsWith(QStringLiteral("/更新至160121002期历史号码.txt")));
}

TEST(Settings, DefaultsWordsAndRestore)
{
    Settings s;
    s.restoreDefaults();
    s.setLotteryIndex(0);
    s.setCalculateSelected(false);
    EXPECT_FALSE(s.resultsOnCurrentDraw());
    EXPECT_TRUE(s.excludeCurrent());
    EXPECT_TRUE(s.weighted());
    EXPECT_EQ(s.lookBackIndex(), 3);
    EXPECT_EQ(LookBackTable::draws(3), 300);
    EXPECT_EQ(s.searchDays(), 6);
    s.setExcludeCurrent(false);
    EXPECT_EQ(s.readString("IniSetting", "SyBq", ""), "False");
    s.setLookBackIndex(0);
    s.setLotteryIndex(9);
    s.restoreDefaults();
    EXPECT_EQ(s.readString("IniSetting", "SyBq", ""), "True");
    EXPECT_EQ(s.lookBackIndex(), 3);
    EXPECT_EQ(s.lotteryIndex(), 9); // the lottery is not a default
    s.setLotteryIndex(0);
}

// Two programs on one file: draws chain from the newest stored draw, so a write derived from a
// snapshot that another program has since overtaken is derived again, never stored stale.
TEST(HistoryStore, AnotherProgramsDrawsAreChainedFrom)
{
    TempDataFolder dir;
    Workspace mine, other;
    QString error;
    ASSERT_TRUE(mine.open(dir.path(), &error)) << error.toStdString();
    ASSERT_TRUE(other.open(dir.path(), &error)) << error.toStdString();
    ASSERT_TRUE(mine.history().addTyped("160121001", {1, 2, 3}, 78, &error)) << error.toStdString();
    // The other program's snapshot still knows nothing of 160121001.
    ASSERT_EQ(other.history().draws().size(), 0u);

    // A plain append from the stale snapshot is refused and reads the history again.
    DrawInput input;
    input.issue = QStringLiteral("160121002");
    input.numbers = {4, 5, 6};
    input.drawsPerDay = 78;
    DrawRecord stale;
    ASSERT_TRUE(DrawDeriver::derive(input, PreviousDraw{}, &stale, &error));
    EXPECT_FALSE(other.history().append({stale}, &error));
    EXPECT_TRUE(other.history().changedElsewhere());
    EXPECT_TRUE(error.contains(QStringLiteral("另一个程序"))) << error.toStdString();
    EXPECT_EQ(other.history().draws().size(), 1u);

    // Hand entry and the import derive again from what the file holds.
    ASSERT_TRUE(mine.history().addTyped("160121002", {4, 5, 6}, 78, &error));
    ASSERT_TRUE(other.history().addTyped("160121003", {6, 6, 6}, 78, &error)) << error.toStdString();
    EXPECT_FALSE(other.history().changedElsewhere());
    ASSERT_TRUE(mine.history().addTyped("160121004", {2, 2, 1}, 78, &error));
    QStringList problems;
    EXPECT_EQ(HistoryImport::importText(&other.history(), "160121005 356\n", 78, &problems), 1)
        << problems.join('\n').toStdString();
    ASSERT_TRUE(mine.history().reload(&error));
    const auto& draws = mine.history().draws();
    ASSERT_EQ(draws.size(), 5u);
    // Every draw derived as if typed one after the other into one program.
    Workspace sequential;
    TempDataFolder alone;
    ASSERT_TRUE(sequential.open(alone.path(), &error));
    for (const auto& d : draws)
        ASSERT_TRUE(
            sequential.history().addTyped(d.issue, {d.number(1), d.number(2), d.number(3)}, 78, &error));
    for (std::size_t i = 0; i < draws.size(); ++i)
        EXPECT_EQ(draws[i].values, sequential.history().draws()[i].values) << draws[i].issue.toStdString();

    // A preview's plan overtaken by the other program stores nothing; planned again it chains on.
    HistoryImport::Options options;
    options.drawsPerDay = 78;
    const HistoryImportPlan preview =
        HistoryImport::plan(other.history(), QByteArray("160121007 111\n"), options);
    ASSERT_TRUE(mine.history().addTyped("160121006", {5, 5, 5}, 78, &error));
    EXPECT_FALSE(HistoryImport::store(&other.history(), preview, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("另一个程序"))) << error.toStdString();
    EXPECT_EQ(other.history().draws().size(), 6u);
    const HistoryImportPlan again =
        HistoryImport::plan(other.history(), QByteArray("160121007 111\n"), options);
    ASSERT_TRUE(HistoryImport::store(&other.history(), again, &error)) << error.toStdString();
    ASSERT_TRUE(sequential.history().addTyped("160121006", {5, 5, 5}, 78, &error));
    ASSERT_TRUE(sequential.history().addTyped("160121007", {1, 1, 1}, 78, &error));
    EXPECT_EQ(again.toAdd.front().values, sequential.history().newest()->values);
}

// Another program deletes the newest draw and compacts the file: this program's snapshot still
// holds it. Its next write notices (SQLite's data version), reads the history afresh and stores
// the draw typed again in its place, chained from the draw now before it. A change of the other
// program's that leaves the history as it was (formulas) refuses nothing.
TEST(HistoryStore, AnotherProgramsDeletionIsSeenBeforeTheNextWrite)
{
    TempDataFolder dir;
    Workspace mine, other;
    QString error;
    ASSERT_TRUE(mine.open(dir.path(), &error)) << error.toStdString();
    addDraws(mine, {{"160121001", "123"}, {"160121002", "456"}, {"160121003", "111"}});
    ASSERT_TRUE(other.open(dir.path(), &error)) << error.toStdString();
    ASSERT_EQ(other.history().deleteLast(1, &error), 1);
    ASSERT_TRUE(other.compact(&error)) << error.toStdString();
    ASSERT_EQ(mine.history().draws().size(), 3u);

    const quint64 shown = mine.history().generation();
    ASSERT_TRUE(mine.history().addTyped("160121003", {2, 4, 6}, 78, &error)) << error.toStdString();
    EXPECT_NE(mine.history().generation(), shown);
    ASSERT_EQ(mine.history().draws().size(), 3u);
    EXPECT_EQ(mine.history().newest()->number(1), 2);
    ASSERT_TRUE(other.history().reload(&error));
    Workspace sequential;
    TempDataFolder alone;
    ASSERT_TRUE(sequential.open(alone.path(), &error));
    addDraws(sequential, {{"160121001", "123"}, {"160121002", "456"}, {"160121003", "246"}});
    for (std::size_t i = 0; i < 3; ++i)
        EXPECT_EQ(other.history().draws()[i].values, sequential.history().draws()[i].values) << i;

    addFormulas(other, FormulaKind{1, true}, true, {"L1A+1"}, "");
    ASSERT_TRUE(mine.history().addTyped("160121004", {3, 3, 5}, 78, &error)) << error.toStdString();
    EXPECT_FALSE(mine.history().changedElsewhere());
    ASSERT_TRUE(other.history().reload(&error));
    EXPECT_EQ(other.history().draws().size(), 4u);
}
