// The backups of the database: written through SQLite's online backup, kept by the retention rule,
// taken before every operation that deletes or replaces stored draws or formulas (the copy holds
// exactly the state before it), and restored to exactly that state.
#include "CliRunner.h"
#include "DatabaseContent.h"
#include "FixtureResultsPages.h"
#include "FixtureResultsServer.h"
#include "RobustnessSupport.h"
#include "SyntheticHistory.h"
#include "TestSupport.h"

#include "formula/FormulaKind.h"
#include "history/ParameterTable.h"
#include "history/Workspace.h"
#include "store/BackupFolder.h"
#include "store/Database.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <gtest/gtest.h>

namespace {

using Robustness::writeFile;

QStringList backupNames(const QString& dataFolder)
{
    return QDir(BackupFolder(dataFolder).path()).entryList({QStringLiteral("*")}, QDir::Files, QDir::Name);
}

TEST(BackupFolder, NamesCarryTheTimeAndTheOperation)
{
    const QDateTime at(QDate(2016, 1, 21), QTime(14, 30, 12, 345));
    const QString name = BackupFolder::fileName(at, QStringLiteral("删除最后历史"));
    EXPECT_EQ(name, QStringLiteral("formula-20160121-143012-345-删除最后历史.mdb"));
    QDateTime time;
    QString operation;
    ASSERT_TRUE(BackupFolder::parseFileName(name, &time, &operation));
    EXPECT_EQ(time, at);
    EXPECT_EQ(operation, QStringLiteral("删除最后历史"));
    // A path separator in an operation cannot leave the folder.
    EXPECT_FALSE(BackupFolder::fileName(at, QStringLiteral("a/b")).contains('/'));
    for (const char* other : {"formula.mdb", "formula-2016-x.mdb", "formula-20161321-143012-345-x.mdb",
                              "formula-20160121-143012-345-x.mdb.part"})
        EXPECT_FALSE(BackupFolder::parseFileName(QLatin1String(other), &time, &operation)) << other;
}

TEST(BackupFolder, KeepsTheNewestTwentyAndEveryOneOfTheLastSevenDays)
{
    const QDateTime now(QDate(2016, 3, 1), QTime(12, 0));
    // 30 backups of today, newest first: all kept, the last seven days count whatever the number.
    std::vector<QDateTime> today;
    for (int i = 0; i < 30; ++i)
        today.push_back(now.addSecs(-60 * i));
    EXPECT_TRUE(BackupFolder::expired(today, now).empty());
    // One a day for 40 days: the newest 20 stay, the older ones beyond seven days go.
    std::vector<QDateTime> daily;
    for (int i = 0; i < 40; ++i)
        daily.push_back(now.addDays(-i));
    const std::vector<std::size_t> gone = BackupFolder::expired(daily, now);
    ASSERT_EQ(gone.size(), 20u);
    EXPECT_EQ(gone.front(), 20u);
    EXPECT_EQ(gone.back(), 39u);
    // Few old ones are all kept.
    EXPECT_TRUE(BackupFolder::expired({now.addDays(-100), now.addDays(-200)}, now).empty());

    // In the folder: writing a backup prunes, and leaves other files alone.
    TempDataFolder dir;
    Workspace ws;
    QString error;
    ASSERT_TRUE(ws.open(dir.path(), &error)) << error.toStdString();
    const QString folder = ws.backups().path();
    ASSERT_TRUE(QDir().mkpath(folder));
    for (int i = 1; i <= 25; ++i)
        writeFile(
            QDir(folder).filePath(BackupFolder::fileName(QDateTime::currentDateTime().addDays(-10 - i), "x")),
            "old");
    writeFile(QDir(folder).filePath(QStringLiteral("my notes.txt")), "keep me");
    QString written;
    ASSERT_TRUE(ws.backups().write(ws.database(), QStringLiteral("手动备份"), QDateTime::currentDateTime(),
                                   &written, &error))
        << error.toStdString();
    EXPECT_EQ(ws.backups().list().size(), 20u);
    EXPECT_EQ(ws.backups().list().front().path, written);
    EXPECT_TRUE(QFileInfo::exists(QDir(folder).filePath(QStringLiteral("my notes.txt"))));
}

// A copy is consistent while another connection writes: it holds the committed state only.
TEST(DatabaseBackup, CopiesTheCommittedStateAndRestoresItExactly)
{
    TempDataFolder dir;
    Workspace ws;
    QString error;
    ASSERT_TRUE(ws.open(dir.path(), &error)) << error.toStdString();
    ASSERT_TRUE(ws.history().append(syntheticDraws(300, 3), &error)) << error.toStdString();
    addFormulas(ws, FormulaKind{2, false}, true, {"L1A+1", "L2A+LH"}, "十");
    const DatabaseContent committed = DatabaseContent::read(ws.databasePath());

    QSqlDatabase other = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("other-writer"));
    other.setDatabaseName(ws.databasePath());
    ASSERT_TRUE(other.open());
    {
        QSqlQuery q(other);
        ASSERT_TRUE(q.exec(QStringLiteral("BEGIN IMMEDIATE")));
        ASSERT_TRUE(q.exec(QStringLiteral("DELETE FROM Lishi")));
        const QString copy = dir.file(QStringLiteral("copy.mdb"));
        ASSERT_TRUE(ws.database().backupTo(copy, &error)) << error.toStdString();
        EXPECT_TRUE(DatabaseContent::read(copy).sameAs(committed));
        EXPECT_FALSE(QFileInfo::exists(copy + QStringLiteral(".part")));
        ASSERT_TRUE(q.exec(QStringLiteral("COMMIT")));
    }
    other.close();
    other = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("other-writer"));
    ASSERT_FALSE(DatabaseContent::read(ws.databasePath()).sameAs(committed));

    ASSERT_TRUE(ws.restoreBackup(dir.file(QStringLiteral("copy.mdb")), &error)) << error.toStdString();
    EXPECT_TRUE(DatabaseContent::read(ws.databasePath()).sameAs(committed));
    EXPECT_EQ(ws.history().draws().size(), 300u);
    // The state before the restore (the emptied history) was kept first.
    ASSERT_FALSE(ws.lastBackup().isEmpty());
    EXPECT_EQ(DatabaseContent::read(ws.lastBackup()).counts.value("Lishi"), 0);

    // What is no backup of this program is refused, the database unchanged.
    writeFile(dir.file(QStringLiteral("garbage.mdb")), "no database at all");
    EXPECT_FALSE(ws.restoreBackup(dir.file(QStringLiteral("garbage.mdb")), &error));
    EXPECT_TRUE(error.contains(QStringLiteral("没有改动"))) << error.toStdString();
    EXPECT_TRUE(DatabaseContent::read(ws.databasePath()).sameAs(committed));
}

TEST(DatabaseBackup, TheSettingTurnsThemOff)
{
    TempDataFolder dir;
    Workspace ws;
    QString error;
    ASSERT_TRUE(ws.open(dir.path(), &error));
    ws.settings().setBackupBeforeChanges(false);
    EXPECT_TRUE(ws.backupBefore(QStringLiteral("删除所有历史"), &error));
    EXPECT_TRUE(ws.lastBackup().isEmpty());
    EXPECT_TRUE(backupNames(dir.path()).isEmpty());
    ws.settings().setBackupBeforeChanges(true);
    EXPECT_TRUE(ws.backupBefore(QStringLiteral("删除所有历史"), &error));
    EXPECT_EQ(backupNames(dir.path()).size(), 1);
}

// An older file is copied before columns are added to it.
TEST(DatabaseBackup, BeforeTheSchemaIsUpgraded)
{
    TempDataFolder dir;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("old"));
        db.setDatabaseName(dir.file(QStringLiteral("formula.mdb")));
        ASSERT_TRUE(db.open());
        QSqlQuery q(db);
        ASSERT_TRUE(q.exec(QStringLiteral("CREATE TABLE Lishi (strQQH TEXT, L1A INTEGER)")));
        ASSERT_TRUE(q.exec(QStringLiteral("INSERT INTO Lishi VALUES ('160121001', 3)")));
        ASSERT_TRUE(q.exec(QStringLiteral("CREATE TABLE Gongshi1D (idx INTEGER, gongshi TEXT)")));
        ASSERT_TRUE(q.exec(QStringLiteral("INSERT INTO Gongshi1D VALUES (1, 'L1A')")));
        q = QSqlQuery();
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("old"));
    const DatabaseContent old = DatabaseContent::read(dir.file(QStringLiteral("formula.mdb")));
    Workspace ws;
    QString error;
    ASSERT_TRUE(ws.open(dir.path(), &error)) << error.toStdString();
    const std::vector<BackupInfo> backups = ws.backups().list();
    ASSERT_EQ(backups.size(), 1u);
    EXPECT_EQ(backups[0].operation, QStringLiteral("升级数据库"));
    EXPECT_EQ(backups[0].draws, 1);
    EXPECT_TRUE(DatabaseContent::read(backups[0].path).sameAs(old));
    // An up-to-date file, or a new one, is opened without a copy.
    Workspace again;
    ASSERT_TRUE(again.open(dir.path(), &error));
    TempDataFolder fresh;
    Workspace created;
    ASSERT_TRUE(created.open(fresh.path(), &error));
    EXPECT_EQ(ws.backups().list().size(), 1u);
    EXPECT_TRUE(backupNames(fresh.path()).isEmpty());
}

// Through the command line: every operation that deletes or replaces writes a backup holding the
// state before it, and `backup restore` brings that state back exactly.
class CliBackups : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Pelq"), QStringLiteral("Pelq"))
            .clear();
        m_data = m_dir.path();
        Workspace ws;
        QString error;
        ASSERT_TRUE(ws.open(m_data, &error)) << error.toStdString();
        ASSERT_TRUE(ws.history().append(syntheticDraws(400, 11), &error)) << error.toStdString();
        addFormulas(ws, FormulaKind{1, true}, true, {"L1A+LT+3", "L3A", "LT+L1A+9", "L2A", "L3A+30"}, "");
        addFormulas(ws, FormulaKind{2, true}, false, {"L1A+L2A", "LH+1"}, "");
    }
    QString database() const { return QDir(m_data).filePath(QStringLiteral("formula.mdb")); }
    CliResult run(const QStringList& args) { return runCli(m_data, args); }

    // Runs a destructive command: it succeeds and leaves exactly one new backup, which holds the
    // state before it; restoring that backup brings the state back.
    void expectBackedUpAndRestored(const QStringList& args, const QString& operation)
    {
        const std::string what = args.join(' ').toStdString();
        const DatabaseContent before = DatabaseContent::read(database());
        const QStringList earlier = backupNames(m_data);
        const CliResult r = run(args);
        ASSERT_EQ(r.exitCode, 0) << what << ": " << r.err.toStdString();
        const DatabaseContent after = DatabaseContent::read(database());
        ASSERT_FALSE(after.sameAs(before)) << what << " changed nothing";
        QStringList added = backupNames(m_data);
        for (const QString& e : earlier)
            added.removeAll(e);
        ASSERT_EQ(added.size(), 1) << what;
        EXPECT_TRUE(added[0].contains(operation)) << what << ": " << added[0].toStdString();
        const QString backup = QDir(BackupFolder(m_data).path()).filePath(added[0]);
        EXPECT_TRUE(DatabaseContent::read(backup).sameAs(before)) << what;

        const CliResult restored = run({"backup", "restore", added[0], "--yes"});
        ASSERT_EQ(restored.exitCode, 0) << restored.err.toStdString();
        EXPECT_TRUE(restored.out.isEmpty());
        EXPECT_TRUE(DatabaseContent::read(database()).sameAs(before)) << what << ": not restored";
        // The state replaced by the restore is a backup of its own.
        const std::vector<BackupInfo> list = BackupFolder(m_data).list();
        ASSERT_FALSE(list.empty());
        EXPECT_EQ(list.front().operation, QStringLiteral("恢复备份"));
        EXPECT_TRUE(DatabaseContent::read(list.front().path).sameAs(after)) << what;
    }

    TempDataFolder m_dir;
    QString m_data; // the data folder the commands run on
};

TEST_F(CliBackups, HistoryDeletions)
{
    expectBackedUpAndRestored({"history", "delete", "--last", "5"}, QStringLiteral("删除最后指定数量期历史"));
    const QString middle = runCli(m_data, {"history", "list"}).out.split('\n')[200].section('\t', 0, 0);
    expectBackedUpAndRestored({"history", "delete", "--after", middle}, QStringLiteral("删除到选定期"));
    expectBackedUpAndRestored({"history", "delete", "--all", "--yes"}, QStringLiteral("删除所有历史"));
    // Nothing to delete: no backup.
    const qsizetype count = backupNames(m_data).size();
    EXPECT_EQ(run({"history", "delete", "--last", "0"}).exitCode, 0);
    EXPECT_EQ(backupNames(m_data).size(), count);
}

TEST_F(CliBackups, FormulaDeletions)
{
    expectBackedUpAndRestored({"formula", "clear", "--yes"}, QStringLiteral("清空所有公式"));
    expectBackedUpAndRestored({"formula", "dedupe", "--kind", "1D", "--yes"}, QStringLiteral("删除等价公式"));
}

TEST_F(CliBackups, SearchResultsSavedAsAnUpdate)
{
    expectBackedUpAndRestored({"search", "--kind", "1D", "--tries", "200", "--seed", "5", "--threads", "1",
                               "--ranges", "0,100,0,32768,0,32768,0,32768,0,32768", "--save", "update"},
                              QStringLiteral("公式更新到数据库"));
    // Appending deletes nothing: no backup.
    const qsizetype count = backupNames(m_data).size();
    ASSERT_EQ(run({"search", "--kind", "2D", "--tries", "50", "--seed", "5", "--threads", "1", "--ranges",
                   "0,100,0,32768,0,32768,0,32768,0,32768", "--save", "append"})
                  .exitCode,
              0);
    EXPECT_EQ(backupNames(m_data).size(), count);
}

TEST_F(CliBackups, OnlineUpdatesThatReplace)
{
    FixtureResultsServer server;
    server.setPage(Robustness::publishedFormulaFile(200), "text/plain");
    expectBackedUpAndRestored({"formula", "update", "--url", server.baseUrl() + QStringLiteral("/Pelq.txt")},
                              QStringLiteral("公式在线更新"));

    // A history older than the days setting is fetched anew.
    TempDataFolder old;
    m_data = old.path();
    ASSERT_EQ(run({"history", "add", "160110001", "123"}).exitCode, 0);
    ASSERT_EQ(run({"history", "add", "160110002", "456"}).exitCode, 0);
    server.setPage(FixtureResultsPages::page(
        FixtureResultsPages::datedDraws(QDate(2016, 1, 16), 1, QDate(2016, 1, 21), 20, 78)));
    expectBackedUpAndRestored(
        {"history", "update", "--base-url", server.baseUrl(), "--today", "160121", "--days", "5"},
        QStringLiteral("开奖历史在线更新"));
}

TEST_F(CliBackups, ListCreateAndRefusals)
{
    const CliResult created = run({"backup", "create"});
    ASSERT_EQ(created.exitCode, 0) << created.err.toStdString();
    const QString path = created.out.trimmed();
    EXPECT_TRUE(QFileInfo::exists(path));
    EXPECT_TRUE(DatabaseContent::read(path).sameAs(DatabaseContent::read(database())));
    const QStringList rows = run({"backup", "list"}).out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows[0],
              "time\tfile\toperation\tdraws\tGongshi1D\tGongshi2D\tGongshi3D\tGongshi2G\tGongshi3G\tproblem");
    EXPECT_EQ(rows[1].section('\t', 1), QFileInfo(path).fileName() + "\t手动备份\t400\t5\t2\t0\t0\t0\t");

    // Without --yes, or of a file that is no backup, nothing changes.
    const DatabaseContent before = DatabaseContent::read(database());
    EXPECT_EQ(run({"backup", "restore", QFileInfo(path).fileName()}).exitCode, 2);
    const CliResult missing = run({"backup", "restore", "nosuch.mdb", "--yes"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_TRUE(missing.err.contains("nosuch.mdb")) << missing.err.toStdString();
    EXPECT_TRUE(DatabaseContent::read(database()).sameAs(before));
    EXPECT_EQ(BackupFolder(m_data).list().size(), 1u);
}

// A database that cannot be opened any more is what a backup is for: the restore keeps the
// damaged file among the backups and puts the copy in its place.
TEST_F(CliBackups, RestoresOverADatabaseThatWillNotOpen)
{
    const CliResult created = run({"backup", "create"});
    ASSERT_EQ(created.exitCode, 0);
    const DatabaseContent good = DatabaseContent::read(database());
    writeFile(database(), QByteArray(8192, 'x'));
    writeFile(database() + "-journal", "a journal of the damaged file");
    EXPECT_EQ(run({"history", "list"}).exitCode, 1);
    const CliResult restored = run({"backup", "restore", created.out.trimmed(), "--yes"});
    ASSERT_EQ(restored.exitCode, 0) << restored.err.toStdString();
    EXPECT_TRUE(DatabaseContent::read(database()).sameAs(good));
    EXPECT_FALSE(QFileInfo::exists(database() + "-journal"));
    const std::vector<BackupInfo> list = BackupFolder(m_data).list();
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list.front().operation, QStringLiteral("无法打开的数据库"));
    EXPECT_FALSE(list.front().problem.isEmpty());
    QFile kept(list.front().path);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), QByteArray(8192, 'x'));
    EXPECT_EQ(run({"history", "list"}).out.count('\n'), 401);
}

} // namespace
