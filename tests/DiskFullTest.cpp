// Every write run out of disk space: zorvane-cli runs under a file-size limit (RLIMIT_FSIZE, with
// SIGXFSZ ignored), so a write past the limit fails the way it does on a full disk, and on a real
// full disk (a small tmpfs where one can be mounted). The command must say so in Chinese, naming
// the file, exit non-zero and leave the database and every existing export exactly as they were;
// "formula.mdb" is whole by itself, with no journal left beside it, and an export never leaves a
// cut-off file under its final name.
#include "ChildProcess.h"
#include "DatabaseContent.h"
#include "FixtureResultsPages.h"
#include "FixtureResultsServer.h"
#include "PrivateMount.h"
#include "RobustnessSupport.h"
#include "TestSupport.h"

#include "store/BackupFolder.h"
#include "store/Settings.h"
#include "store/WorkbookWriter.h"

#include <QDir>
#include <QFileInfo>
#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using Robustness::readFile;
using Robustness::writeFile;

class DiskFull : public ::testing::Test
{
protected:
    QString data() const { return m_dir.file(QStringLiteral("data")); }
    QString database() const { return QDir(data()).filePath(QStringLiteral("formula.mdb")); }
    QString input(const QString& name) const { return m_dir.file(name); }
    qint64 databaseSize() const { return QFileInfo(database()).size(); }

    void SetUp() override { QDir().mkpath(data()); }

    void run(const QStringList& args)
    {
        const ChildOutcome r = runCliChild(data(), args);
        ASSERT_EQ(r.exitCode, 0) << args.join(' ').toStdString() << ": " << r.err.toStdString();
    }

    // The message says the disk is full or the file could not be written, and names the file.
    static void expectNamesFile(const QString& message, const QString& file)
    {
        EXPECT_TRUE(message.contains(QStringLiteral("磁盘已满")) ||
                    message.contains(QStringLiteral("无法写入")) ||
                    message.contains(QStringLiteral("无法保存")))
            << message.toStdString();
        EXPECT_TRUE(message.contains(
            file.contains('/') && !QFileInfo(file).isAbsolute() ? file : QFileInfo(file).fileName()))
            << message.toStdString();
    }

    // Runs a database write under each limit: it fails, says why and changes nothing; without a
    // limit it then succeeds, so nothing was left behind that stands in its way.
    void expectDatabaseWriteRefused(const QStringList& args, const QList<qint64>& limits)
    {
        const DatabaseContent before = DatabaseContent::read(database());
        ASSERT_EQ(before.integrity, "ok");
        for (qint64 limit : limits) {
            ChildOptions options;
            options.fileSizeLimit = limit;
            const ChildOutcome r = runCliChild(data(), args, options);
            EXPECT_EQ(r.exitCode, 1) << "limit " << limit << ": " << r.out.toStdString();
            expectNamesFile(r.err, database());
            expectNoJournal();
            const DatabaseContent now = DatabaseContent::read(database());
            EXPECT_EQ(now.integrity, "ok");
            EXPECT_TRUE(now.sameAs(before)) << "limit " << limit << ": the database changed";
        }
        run(args);
        EXPECT_FALSE(DatabaseContent::read(database()).sameAs(before));
    }

    // For writes that may or may not need room past the limit: under each limit the command either
    // finishes, leaving what a run without a limit leaves, or fails with a message naming a file
    // and leaves the database as it was. A deletion may also be kept while the compaction after it
    // fails: then the message says the deletion is kept.
    void expectWholeOutcomes(const QStringList& args, const QList<qint64>& limits)
    {
        const QString start = m_dir.file(QStringLiteral("start"));
        Robustness::copyFolder(data(), start);
        const DatabaseContent before = DatabaseContent::read(database());
        const qint64 startSize = databaseSize();
        run(args);
        const DatabaseContent after = DatabaseContent::read(database());
        ASSERT_FALSE(after.sameAs(before));
        for (qint64 limit : limits) {
            Robustness::copyFolder(start, data());
            ChildOptions options;
            options.fileSizeLimit = limit;
            const ChildOutcome r = runCliChild(data(), args, options);
            // Under a limit below the file's size SQLite cannot even put the old pages back: the
            // journal then stays for the next program to restore the file from (the message says so).
            if (limit >= startSize)
                expectNoJournal();
            const DatabaseContent now = DatabaseContent::read(database());
            EXPECT_EQ(now.integrity, "ok");
            const bool kept = r.err.contains(QStringLiteral("已删除的内容已经保存"));
            std::printf("%s under %lld bytes: %s\n", args.mid(0, 2).join(' ').toUtf8().constData(), limit,
                        r.exitCode == 0 ? "finished"
                        : kept          ? "deletion kept, compaction failed"
                                        : "refused");
            if (r.exitCode == 0) {
                EXPECT_TRUE(now.sameAs(after)) << "limit " << limit;
                continue;
            }
            EXPECT_EQ(r.exitCode, 1);
            // A deletion is refused when its backup cannot be written: the message names the backup.
            const bool noBackup = r.err.contains(QStringLiteral("无法备份数据库"));
            expectNamesFile(r.err, noBackup ? BackupFolder::folderName() + QStringLiteral("/formula-")
                                            : QStringLiteral("formula.mdb"));
            EXPECT_TRUE(kept ? now.sameAs(after) : now.sameAs(before))
                << "limit " << limit << ": " << r.err.toStdString();
        }
    }

    // A failed write was rolled back on the spot: no hot journal waits for the next program.
    void expectNoJournal() const
    {
        EXPECT_FALSE(QFileInfo::exists(database() + QStringLiteral("-journal")))
            << "a journal was left beside formula.mdb";
    }

    // The files of the data folder other than the database and its journal.
    QStringList exportFiles() const
    {
        QStringList files = QDir(data()).entryList(QDir::Files, QDir::Name);
        files.removeAll(QStringLiteral("formula.mdb"));
        files.removeAll(QStringLiteral("formula.mdb-journal"));
        return files;
    }

    TempDataFolder m_dir;
};

TEST_F(DiskFull, HistoryImport)
{
    writeFile(input("start.txt"), Robustness::historyLines(5, QStringLiteral("151231")));
    writeFile(input("history.txt"), Robustness::historyLines(30000));
    run({"history", "import", input("start.txt")});
    const qint64 size = databaseSize();
    // Past the file's end at once, within the first pages, and well into the write.
    expectDatabaseWriteRefused({"history", "import", input("history.txt")},
                               {size, size + 8192, size + (1 << 20)});
}

TEST_F(DiskFull, FormulaImport)
{
    writeFile(input("start.txt"), Robustness::formulaLines(40));
    writeFile(input("formulas.txt"), Robustness::formulaLines(30000));
    run({"formula", "import", input("start.txt")});
    const qint64 size = databaseSize();
    expectDatabaseWriteRefused({"formula", "import", input("formulas.txt")},
                               {size, size + 8192, size + (1 << 20)});
}

TEST_F(DiskFull, SearchSave)
{
    writeFile(input("history.txt"), Robustness::historyLines(300));
    run({"history", "import", input("history.txt")});
    const qint64 size = databaseSize();
    expectDatabaseWriteRefused({"search", "--kind", "3D", "--tries", "3000", "--seed", "3", "--threads", "1",
                                "--ranges", "0,100,0,32768,0,32768,0,32768,0,32768", "--save", "append"},
                               {size, size + 8192});
}

TEST_F(DiskFull, HistoryUpdate)
{
    FixtureResultsServer server;
    server.setPage(FixtureResultsPages::page(
        FixtureResultsPages::datedDraws(QDate(2016, 1, 12), 1, QDate(2016, 1, 21), 78, 78)));
    writeFile(input("start.txt"), Robustness::historyLines(3, QStringLiteral("160111")));
    run({"history", "import", input("start.txt")});
    expectDatabaseWriteRefused(
        {"history", "update", "--base-url", server.baseUrl(), "--today", "160121", "--days", "10"},
        {databaseSize()});
}

TEST_F(DiskFull, FormulaUpdate)
{
    FixtureResultsServer server;
    const QByteArray published = Robustness::publishedFormulaFile(5000);
    server.setPage(published, "text/plain");
    writeFile(input("start.txt"), Robustness::formulaLines(100));
    run({"formula", "import", input("start.txt")});
    const QStringList args{"formula", "update", "--url", server.baseUrl() + QStringLiteral("/Pelq.txt")};
    const DatabaseContent before = DatabaseContent::read(database());

    // The downloaded copy cannot be kept: nothing is imported.
    ChildOptions tiny;
    tiny.fileSizeLimit = 1000;
    const ChildOutcome copy = runCliChild(data(), args, tiny);
    EXPECT_EQ(copy.exitCode, 1);
    expectNamesFile(copy.err, QStringLiteral("Pelq.txt"));
    EXPECT_TRUE(DatabaseContent::read(database()).sameAs(before));
    EXPECT_FALSE(QFileInfo::exists(QDir(data()).filePath(QStringLiteral("Pelq.txt"))));

    // The copy fits, the formulas do not.
    expectDatabaseWriteRefused(args, {std::max<qint64>(databaseSize(), published.size() + 1)});
}

// Before a deletion the database is copied into 备份: when the copy cannot be written the
// deletion is refused with the reason, the database as it was and no cut-off copy left behind.
TEST_F(DiskFull, ABackupThatCannotBeWrittenRefusesTheDeletion)
{
    writeFile(input("history.txt"), Robustness::historyLines(3000));
    writeFile(input("formulas.txt"), Robustness::equivalentFormulaLines(3000));
    run({"history", "import", input("history.txt")});
    run({"formula", "import", input("formulas.txt")});
    const DatabaseContent before = DatabaseContent::read(database());
    const QString backups = QDir(data()).filePath(BackupFolder::folderName());
    for (const QStringList& args :
         {QStringList{"history", "delete", "--last", "10"},
          QStringList{"history", "delete", "--all", "--yes"}, QStringList{"formula", "clear", "--yes"},
          QStringList{"formula", "dedupe", "--kind", "1D", "--yes"}}) {
        ChildOptions limit;
        limit.fileSizeLimit = databaseSize() / 2;
        const ChildOutcome r = runCliChild(data(), args, limit);
        EXPECT_EQ(r.exitCode, 1) << args.join(' ').toStdString();
        EXPECT_TRUE(r.err.contains(QStringLiteral("无法备份数据库"))) << r.err.toStdString();
        expectNamesFile(r.err, BackupFolder::folderName() + QStringLiteral("/formula-"));
        EXPECT_TRUE(r.err.contains(QStringLiteral("没有执行"))) << r.err.toStdString();
        EXPECT_TRUE(DatabaseContent::read(database()).sameAs(before)) << args.join(' ').toStdString();
        EXPECT_TRUE(QDir(backups).entryList(QDir::Files).isEmpty()) << args.join(' ').toStdString();
    }
    // With room again the deletion goes ahead, its backup beside it.
    run({"history", "delete", "--last", "10"});
    EXPECT_EQ(DatabaseContent::read(database()).counts.value("Lishi"), 2990);
    EXPECT_EQ(QDir(backups).entryList(QDir::Files).size(), 1);
}

// The deletion is stored first; the compaction that follows needs room for a whole copy (SQLite's
// work copy and the journal). When that fails the command says so, and "formula.mdb" is still
// whole, holding the deletion. (The limit counts file offsets, so the draws go first and the
// formulas after them: the deletion then writes below the limit while the copy cannot.) The
// backup, which needs the same room, is turned off here.
TEST_F(DiskFull, CompactionAfterDeletion)
{
    Settings().setBackupBeforeChanges(false);
    writeFile(input("history.txt"), Robustness::historyLines(3000));
    writeFile(input("formulas.txt"), Robustness::formulaLines(20000));
    run({"history", "import", input("history.txt")});
    const qint64 historySize = databaseSize();
    run({"formula", "import", input("formulas.txt")});
    ChildOptions limit;
    limit.fileSizeLimit = historySize + 64 * 1024;
    ASSERT_GT(databaseSize(), limit.fileSizeLimit + 256 * 1024);
    const ChildOutcome r = runCliChild(data(), {"history", "delete", "--last", "10"}, limit);
    EXPECT_EQ(r.exitCode, 1);
    expectNamesFile(r.err, QStringLiteral("formula.mdb"));
    EXPECT_TRUE(r.err.contains(QStringLiteral("已删除"))) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("完好"))) << r.err.toStdString();
    expectNoJournal();
    const DatabaseContent now = DatabaseContent::read(database());
    EXPECT_EQ(now.integrity, "ok");
    EXPECT_EQ(now.counts.value("Lishi"), 2990);
    // With room again the next deletion compacts as usual.
    run({"history", "delete", "--last", "1"});
    EXPECT_EQ(DatabaseContent::read(database()).counts.value("Lishi"), 2989);
    Settings().setBackupBeforeChanges(true);
}

TEST_F(DiskFull, HistoryAddAndFormulaDedupe)
{
    writeFile(input("history.txt"), Robustness::historyLines(2000));
    writeFile(input("formulas.txt"), Robustness::equivalentFormulaLines(3000));
    run({"history", "import", input("history.txt")});
    run({"formula", "import", input("formulas.txt")});
    const qint64 size = databaseSize();
    expectWholeOutcomes({"history", "add", "160126051", "356"}, {size / 2, size - 4096, size});
    expectWholeOutcomes({"formula", "dedupe", "--kind", "1D", "--sense", "all", "--yes"},
                        {size / 4, size / 2, size * 3 / 4, size});
}

// A real full disk: the data folder on a small tmpfs (mounted in a namespace of the test's own)
// with only a few kilobytes to a megabyte left, and SQLite's work files there too. Each write
// either finishes or says the disk is full; either way "formula.mdb" copied alone, without any
// journal, passes the integrity check and holds exactly the state before or after the write.
TEST_F(DiskFull, RealFullDiskLeavesTheFileWholeByItself)
{
    QString why;
    if (!PrivateMount::available(&why))
        GTEST_SKIP() << why.toStdString();
    writeFile(input("start.txt"), Robustness::historyLines(300));
    writeFile(input("start-formulas.txt"), Robustness::formulaLines(3000));
    writeFile(input("history.txt"), Robustness::historyLines(30000, QStringLiteral("160201")));
    writeFile(input("formulas.txt"), Robustness::formulaLines(30000));
    run({"history", "import", input("start.txt")});
    run({"formula", "import", input("start-formulas.txt")});
    const QList<QStringList> writes = {{"history", "import", input("history.txt")},
                                       {"formula", "import", input("formulas.txt")},
                                       {"search", "--kind", "3D", "--tries", "3000", "--seed", "3",
                                        "--threads", "1", "--ranges", "0,100,0,32768,0,32768,0,32768,0,32768",
                                        "--save", "append"},
                                       {"history", "delete", "--last", "200"}};
    const QList<int> freeBytes = {8 << 10, 48 << 10, 128 << 10, 512 << 10, 2 << 20};

    // Each write's state after a run with room to spare.
    const DatabaseContent before = DatabaseContent::read(database());
    std::vector<DatabaseContent> after;
    const QString start = m_dir.file(QStringLiteral("start"));
    Robustness::copyFolder(data(), start);
    for (const QStringList& args : writes) {
        Robustness::copyFolder(start, data());
        run(args);
        after.push_back(DatabaseContent::read(database()));
    }

    const QString mount = m_dir.file(QStringLiteral("small-disk"));
    const QString results = m_dir.file(QStringLiteral("results"));
    QDir().mkpath(mount);
    QDir().mkpath(results);
    using PrivateMount::quoted;
    QString script = QStringLiteral("M=%1; R=%2; mount -t tmpfs -o size=24m tmpfs \"$M\" || exit 90; "
                                    "export TMPDIR=\"$M\"\n")
                         .arg(quoted(mount), quoted(results));
    for (int w = 0; w < writes.size(); ++w) {
        QStringList args;
        for (const QString& a : writes[w])
            args << quoted(a);
        for (int f = 0; f < freeBytes.size(); ++f) {
            const QString id = QStringLiteral("%1-%2").arg(w).arg(f);
            script +=
                QStringLiteral(
                    "rm -rf \"$M\"/*; mkdir \"$M/data\" && cp %1/* \"$M/data/\" || exit 91\n"
                    "avail=$(df --output=avail -B1 \"$M\" | tail -n 1); "
                    "head -c $((avail - %2)) /dev/zero > \"$M/filler\" 2>/dev/null\n"
                    "%3 --data-dir \"$M/data\" %4 > \"$R/%5.out\" 2> \"$R/%5.err\"; echo $? > \"$R/%5.rc\"\n"
                    "cp \"$M/data/formula.mdb\" \"$R/%5.mdb\"\n"
                    "if [ -e \"$M/data/formula.mdb-journal\" ]; then touch \"$R/%5.journal\"; fi\n")
                    .arg(quoted(start))
                    .arg(freeBytes[f])
                    .arg(quoted(QStringLiteral(ZORVANE_CLI_PATH)), args.join(' '), id);
        }
    }
    QString output;
    ASSERT_EQ(PrivateMount::run(script, &output), 0) << output.toStdString();

    int refused = 0;
    for (int w = 0; w < writes.size(); ++w) {
        for (int f = 0; f < freeBytes.size(); ++f) {
            const QString id = QStringLiteral("%1-%2").arg(w).arg(f);
            const std::string what =
                (writes[w].mid(0, 2).join(' ') + QStringLiteral(" with %1 bytes free").arg(freeBytes[f]))
                    .toStdString();
            const int code = readFile(QDir(results).filePath(id + ".rc")).trimmed().toInt();
            const QString err = QString::fromUtf8(readFile(QDir(results).filePath(id + ".err")));
            EXPECT_FALSE(QFileInfo::exists(QDir(results).filePath(id + ".journal")))
                << what << ": a journal was left beside formula.mdb";
            const DatabaseContent alone = DatabaseContent::read(QDir(results).filePath(id + ".mdb"));
            ASSERT_EQ(alone.integrity, "ok") << what;
            // A deletion is stored before its compaction, which may then fail alone.
            const bool kept = err.contains(QStringLiteral("已删除的内容已经保存"));
            std::printf("%s: %s\n", what.c_str(),
                        code == 0 ? "finished"
                        : kept    ? "deletion kept, compaction failed"
                                  : "refused");
            if (code == 0 || kept) {
                EXPECT_TRUE(alone.sameAs(after[std::size_t(w)])) << what << ": " << err.toStdString();
                continue;
            }
            ++refused;
            EXPECT_EQ(code, 1) << what;
            // A deletion first copies the database into the backup folder; that copy may be what fails.
            expectNamesFile(err, err.contains(QStringLiteral("无法备份数据库"))
                                     ? QStringLiteral("备份")
                                     : QStringLiteral("formula.mdb"));
            EXPECT_TRUE(alone.sameAs(before)) << what << ": " << err.toStdString();
        }
    }
    EXPECT_GT(refused, 0) << "no write ran out of room: the free space left is too large";
}

TEST_F(DiskFull, TextExportsKeepTheOldFile)
{
    writeFile(input("history.txt"), Robustness::historyLines(2000));
    writeFile(input("formulas.txt"), Robustness::formulaLines(3000));
    run({"history", "import", input("history.txt")});
    const QString historyExport = QDir(data()).filePath(QStringLiteral("history-export.txt"));
    writeFile(historyExport, "160101001 123\r\n");
    run({"formula", "export", "--kind", "2D"}); // an earlier export of the (empty) kind
    run({"formula", "export", "--all"});
    run({"formula", "import", input("formulas.txt")});
    const QStringList files = exportFiles();
    QMap<QString, QByteArray> contents;
    for (const QString& f : files)
        contents[f] = readFile(QDir(data()).filePath(f));

    ChildOptions small;
    small.fileSizeLimit = 512;
    for (const QStringList& args :
         {QStringList{"history", "export", historyExport}, QStringList{"formula", "export", "--kind", "2D"},
          QStringList{"formula", "export", "--all"}}) {
        const ChildOutcome r = runCliChild(data(), args, small);
        EXPECT_EQ(r.exitCode, 1) << args.join(' ').toStdString();
        EXPECT_TRUE(r.err.contains(QStringLiteral("无法写入"))) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(QStringLiteral(".txt"))) << r.err.toStdString();
        EXPECT_EQ(exportFiles(), files) << "a file was left behind by " << args.join(' ').toStdString();
        for (const QString& f : files)
            EXPECT_EQ(readFile(QDir(data()).filePath(f)), contents[f]) << f.toStdString();
    }
}

// A chart picture: the earlier picture stays as it was and nothing else is left in the folder.
TEST_F(DiskFull, ChartPictureKeepsTheOldFile)
{
    writeFile(input("history.txt"), Robustness::historyLines(300));
    run({"history", "import", input("history.txt")});
    const QString picture = QDir(data()).filePath(QStringLiteral("trend.png"));
    writeFile(picture, "an earlier picture");
    const QStringList files = exportFiles();
    ChildOptions small;
    small.fileSizeLimit = 4096;
    const ChildOutcome r =
        runCliChild(data(), {"chart", "numbers", "--png", picture, "--size", "1200x800"}, small);
    EXPECT_NE(r.exitCode, 0);
    expectNamesFile(r.err, picture);
    EXPECT_EQ(readFile(picture), "an earlier picture");
    EXPECT_EQ(exportFiles(), files);
    // Without the limit the same command writes it.
    run({"chart", "numbers", "--png", picture, "--size", "1200x800"});
    EXPECT_TRUE(readFile(picture).startsWith("\x89PNG"));
}

// Workbooks are written by the windows; the writer they share runs here in a child process of
// this test under the limit.
TEST_F(DiskFull, WorkbookKeepsTheOldFile)
{
    const QString book = QDir(data()).filePath(QStringLiteral("gongshi.xlsx"));
    writeFile(book, "an earlier workbook");
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        signal(SIGXFSZ, SIG_IGN);
        const rlimit r{4096, 4096};
        setrlimit(RLIMIT_FSIZE, &r);
        WorkbookWriter writer(book);
        for (int row = 0; row < 5000; ++row)
            for (int column = 0; column < 8; ++column)
                writer.writeText(row, column, QStringLiteral("百位码+和数+%1").arg(row * 8 + column));
        QString error;
        const bool saved = writer.save(&error);
        const bool named =
            error.contains(QStringLiteral("gongshi.xlsx")) && error.contains(QStringLiteral("无法"));
        _exit(saved ? 10 : named ? 0 : 11);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "10: saved beyond the limit, 11: the message names no file";
    EXPECT_EQ(readFile(book), "an earlier workbook");
    EXPECT_EQ(exportFiles(), QStringList{"gongshi.xlsx"});
}

} // namespace
