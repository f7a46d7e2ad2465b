// Two programs on one data folder (the window and the command line, or two command lines): one
// deletes, and so compacts the file, while the other adds formulas, saves searches and adds
// draws; a program that only reads never waits for the write lock; and a data folder that cannot
// be written is still read, back-tested and calculated.
#include "ChildProcess.h"
#include "DatabaseContent.h"
#include "PrivateMount.h"
#include "RobustnessSupport.h"
#include "TestSupport.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QUuid>
#include <gtest/gtest.h>

#include <memory>
#include <unistd.h>

namespace {

using Robustness::readFile;
using Robustness::writeFile;

struct Finished
{
    QStringList args;
    int exitCode = -1;
    QString out;
    QString err;
};

// Runs its commands one after the other, each as soon as the one before ends; several loops run
// side by side on one event loop.
class CommandLoop
{
public:
    CommandLoop(QString data, QList<QStringList> commands)
        : m_data(std::move(data)), m_commands(std::move(commands))
    {
    }
    void start() { next(); }
    bool done() const { return m_finished.size() == std::size_t(m_commands.size()); }
    const std::vector<Finished>& finished() const { return m_finished; }

private:
    void next()
    {
        if (done())
            return;
        const QStringList args = m_commands[int(m_finished.size())];
        m_process = std::make_unique<QProcess>();
        QObject::connect(m_process.get(), &QProcess::finished,
                         [this, args](int code, QProcess::ExitStatus status) {
                             m_finished.push_back({args, status == QProcess::NormalExit ? code : -1,
                                                   QString::fromUtf8(m_process->readAllStandardOutput()),
                                                   QString::fromUtf8(m_process->readAllStandardError())});
                             QMetaObject::invokeMethod(
                                 QCoreApplication::instance(), [this] { next(); }, Qt::QueuedConnection);
                         });
        m_process->start(QStringLiteral(ZORVANE_CLI_PATH), QStringList{"--data-dir", m_data} + args);
    }

    QString m_data;
    QList<QStringList> m_commands;
    std::unique_ptr<QProcess> m_process;
    std::vector<Finished> m_finished;
};

void runSideBySide(const std::vector<CommandLoop*>& loops)
{
    for (CommandLoop* l : loops)
        l->start();
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 600000 &&
           !std::all_of(loops.begin(), loops.end(), [](const CommandLoop* l) { return l->done(); }))
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
}

Finished runOne(const QString& data, const QStringList& args)
{
    const ChildOutcome r = runCliChild(data, args);
    return {args, r.exitCode, r.out, r.err};
}

// A refusal because of the other program names it; nothing else is acceptable (never "damaged",
// never a read-only file that is not read-only).
void expectDoneOrBusy(const Finished& f)
{
    const std::string what = f.args.join(' ').toStdString();
    EXPECT_FALSE(f.err.contains(QStringLiteral("损坏"))) << what << ": " << f.err.toStdString();
    EXPECT_FALSE(f.err.contains(QStringLiteral("只读"))) << what << ": " << f.err.toStdString();
    if (f.exitCode == 0)
        return;
    EXPECT_EQ(f.exitCode, 1) << what;
    EXPECT_TRUE(f.err.contains(QStringLiteral("另一个程序正在使用数据文件夹")) ||
                f.err.contains(QStringLiteral("已删除的内容已经保存")))
        << what << ": " << f.err.toStdString();
}

// The gongshi column of `formula list`.
QStringList listedCodes(const QString& data, const QString& kind)
{
    QStringList codes;
    const QStringList lines = runOne(data, {"formula", "list", "--kind", kind, "--sense", "all"})
                                  .out.split('\n', Qt::SkipEmptyParts);
    for (int i = 1; i < lines.size(); ++i)
        codes << lines[i].section('\t', 2, 2);
    return codes;
}

int storedDraws(const QString& data)
{
    return int(runOne(data, {"history", "list"}).out.count('\n')) - 1;
}

TEST(SharedFolder, DeletionsBesideFormulaAddsSearchSavesAndDraws)
{
    TempDataFolder dir;
    const QString data = dir.file(QStringLiteral("data"));
    QDir().mkpath(data);
    writeFile(dir.file("history.txt"), Robustness::historyLines(400));
    writeFile(dir.file("formulas.txt"), Robustness::formulaLines(2000));
    ASSERT_EQ(runOne(data, {"history", "import", dir.file("history.txt")}).exitCode, 0);
    ASSERT_EQ(runOne(data, {"formula", "import", dir.file("formulas.txt")}).exitCode, 0);
    // Formulas nobody touches while the two programs run.
    const QStringList untouched1D = listedCodes(data, "1D");
    const QStringList untouched2G = listedCodes(data, "2G");
    const QStringList before3G = listedCodes(data, "3G");
    ASSERT_FALSE(untouched1D.isEmpty());

    const int rounds = 30;
    QList<QStringList> deletions, writes;
    for (int i = 0; i < rounds; ++i) {
        deletions << QStringList{"history", "delete", "--last", "1"};
        writes << QStringList{"formula", "add", "--kind", "3G", QStringLiteral("L1A+L2A+%1").arg(i + 1)};
        if (i % 3 == 0)
            writes << QStringList{"search",
                                  "--kind",
                                  "2D",
                                  "--tries",
                                  "50",
                                  "--seed",
                                  QString::number(i),
                                  "--threads",
                                  "1",
                                  "--ranges",
                                  "0,100,0,100,0,32768,0,100,0,32768",
                                  "--save",
                                  "append"};
        if (i % 3 == 1)
            // Days after every stored draw, so each is the newest when it is added.
            writes << QStringList{
                "history", "add",
                QStringLiteral("1607%1").arg(i + 1, 2, 10, QLatin1Char('0')) + QStringLiteral("001"), "246"};
    }
    const int drawsBefore = storedDraws(data);
    CommandLoop deleter(data, deletions), writer(data, writes);
    runSideBySide({&deleter, &writer});
    ASSERT_TRUE(deleter.done() && writer.done());

    ASSERT_EQ(DatabaseContent::read(QDir(data).filePath("formula.mdb")).integrity, "ok");
    int deleted = 0, added = 0, formulasAdded = 0, searchesSaved = 0;
    for (const Finished& f : deleter.finished()) {
        expectDoneOrBusy(f);
        deleted += f.exitCode == 0 || f.err.contains(QStringLiteral("已删除的内容已经保存"));
    }
    QSet<QString> saved3G, saved2D;
    for (const Finished& f : writer.finished()) {
        expectDoneOrBusy(f);
        if (f.exitCode != 0)
            continue;
        if (f.args[0] == "formula") {
            ++formulasAdded;
            saved3G.insert(f.out.section('\t', 2, 2).trimmed());
        } else if (f.args[0] == "search") {
            ++searchesSaved;
            const QStringList lines = f.out.split('\n', Qt::SkipEmptyParts);
            for (int i = 1; i + 1 < lines.size(); ++i)
                saved2D.insert(lines[i].section('\t', 0, 0));
        } else {
            ++added;
        }
    }
    std::printf("side by side: %d deletions, %d formulas, %d searches saved, %d draws added\n", deleted,
                formulasAdded, searchesSaved, added);
    // Every write reported as done is stored, in its own table; nothing else changed.
    const QStringList in3G = listedCodes(data, "3G");
    for (const QString& code : saved3G)
        EXPECT_EQ(in3G.count(code), 1) << code.toStdString();
    EXPECT_EQ(in3G.size(), before3G.size() + saved3G.size());
    const QStringList in2D = listedCodes(data, "2D");
    const QSet<QString> stored2D(in2D.begin(), in2D.end());
    EXPECT_TRUE(stored2D.contains(saved2D));
    EXPECT_EQ(listedCodes(data, "1D"), untouched1D);
    EXPECT_EQ(listedCodes(data, "2G"), untouched2G);
    EXPECT_EQ(storedDraws(data), drawsBefore + added - deleted);
    EXPECT_GT(deleted, rounds / 2);
    EXPECT_GT(formulasAdded, rounds / 2);
}

// Another program's connection holding the file: the command line only reads and must not wait
// for a write lock that it does not need.
class OtherConnection
{
public:
    explicit OtherConnection(const QString& path)
        : m_name(QStringLiteral("other-") + QUuid::createUuid().toString(QUuid::WithoutBraces))
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
        db.setDatabaseName(path);
        EXPECT_TRUE(db.open());
    }
    ~OtherConnection()
    {
        m_query.reset();
        QSqlDatabase::database(m_name, false).close();
        QSqlDatabase::removeDatabase(m_name);
    }
    bool exec(const QString& sql)
    {
        m_query = std::make_unique<QSqlQuery>(QSqlDatabase::database(m_name, false));
        return m_query->exec(sql);
    }

private:
    QString m_name;
    std::unique_ptr<QSqlQuery> m_query;
};

TEST(SharedFolder, AReaderOrAWriterBesideHistoryList)
{
    TempDataFolder dir;
    const QString data = dir.file(QStringLiteral("data"));
    QDir().mkpath(data);
    writeFile(dir.file("history.txt"), Robustness::historyLines(300));
    ASSERT_EQ(runOne(data, {"history", "import", dir.file("history.txt")}).exitCode, 0);
    const QString file = QDir(data).filePath(QStringLiteral("formula.mdb"));
    {
        // A program in the middle of a read (its statement still open)...
        OtherConnection reader(file);
        ASSERT_TRUE(reader.exec(QStringLiteral("BEGIN")));
        ASSERT_TRUE(reader.exec(QStringLiteral("SELECT * FROM Lishi")));
        const ChildOutcome r = runCliChild(data, {"history", "list"});
        EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
        EXPECT_EQ(r.out.count('\n'), 301);
        EXPECT_LT(r.elapsedMs, 3000);
    }
    {
        // ...and one in the middle of a write it has not committed.
        OtherConnection writer(file);
        ASSERT_TRUE(writer.exec(QStringLiteral("BEGIN IMMEDIATE")));
        ASSERT_TRUE(writer.exec(QStringLiteral("INSERT INTO Lishi (strQQH) VALUES ('170101001')")));
        const ChildOutcome r = runCliChild(data, {"history", "list"});
        EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
        EXPECT_EQ(r.out.count('\n'), 301);
        EXPECT_FALSE(r.out.contains("170101001"));
        EXPECT_LT(r.elapsedMs, 3000);
        // A write waits for it, then says who holds the file.
        const ChildOutcome w = runCliChild(data, {"formula", "add", QStringLiteral("百位码+3")});
        EXPECT_EQ(w.exitCode, 1);
        EXPECT_TRUE(w.err.contains(QStringLiteral("另一个程序正在使用数据文件夹"))) << w.err.toStdString();
    }
}

QByteArray digestOf(const QString& path)
{
    return QCryptographicHash::hash(readFile(path), QCryptographicHash::Sha1).toHex();
}

// The commands run on a copy of the data folder that cannot be written: a tmpfs remounted
// read-only in a namespace of the test's own, or without one (and not as root) a folder and file
// without write permission. Null when neither can be had here (*why says why).
// *digest receives the database file's digest after the commands.
std::optional<std::vector<Finished>> runOnReadOnlyCopy(const QString& data, const QString& scratch,
                                                       const QList<QStringList>& commands, QByteArray* digest,
                                                       QString* why)
{
    using PrivateMount::quoted;
    const QString results = QDir(scratch).filePath(QStringLiteral("results"));
    QDir().mkpath(results);
    std::vector<Finished> finished;
    auto collect = [&](int i, const QStringList& args) {
        const QString base = QDir(results).filePath(QString::number(i));
        finished.push_back({args, readFile(base + ".rc").trimmed().toInt(),
                            QString::fromUtf8(readFile(base + ".out")),
                            QString::fromUtf8(readFile(base + ".err"))});
    };
    if (PrivateMount::available(why)) {
        const QString mount = QDir(scratch).filePath(QStringLiteral("read-only"));
        QDir().mkpath(mount);
        QString script =
            QStringLiteral("M=%1; R=%2; mount -t tmpfs -o size=32m tmpfs \"$M\" && cp %3/* \"$M/\" && "
                           "mount -o remount,ro \"$M\" || exit 90\n")
                .arg(quoted(mount), quoted(results), quoted(data));
        for (int i = 0; i < commands.size(); ++i) {
            QStringList args;
            for (const QString& a : commands[i])
                args << quoted(a);
            script +=
                QStringLiteral(
                    "%1 --data-dir \"$M\" %2 > \"$R/%3.out\" 2> \"$R/%3.err\"; echo $? > \"$R/%3.rc\"\n")
                    .arg(quoted(QStringLiteral(ZORVANE_CLI_PATH)), args.join(' '))
                    .arg(i);
        }
        script += QStringLiteral("sha1sum \"$M/formula.mdb\" | cut -c1-40 > \"$R/after.sha1\"\n");
        QString output;
        if (PrivateMount::run(script, &output) != 0) {
            *why = output;
            return std::nullopt;
        }
        for (int i = 0; i < commands.size(); ++i)
            collect(i, commands[i]);
        *digest = readFile(QDir(results).filePath(QStringLiteral("after.sha1"))).trimmed();
        return finished;
    }
    if (geteuid() == 0)
        return std::nullopt; // root writes through permissions
    const QString copy = QDir(scratch).filePath(QStringLiteral("read-only"));
    Robustness::copyFolder(data, copy);
    const QString file = QDir(copy).filePath(QStringLiteral("formula.mdb"));
    QFile::setPermissions(file, QFile::ReadOwner);
    QFile::setPermissions(copy, QFile::ReadOwner | QFile::ExeOwner);
    for (const QStringList& args : commands)
        finished.push_back(runOne(copy, args));
    *digest = digestOf(file);
    QFile::setPermissions(copy, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner);
    return finished;
}

TEST(SharedFolder, AReadOnlyFolderIsReadBacktestedAndCalculated)
{
    TempDataFolder dir;
    const QString data = dir.file(QStringLiteral("data"));
    QDir().mkpath(data);
    writeFile(dir.file("history.txt"), Robustness::historyLines(300));
    writeFile(dir.file("formulas.txt"), Robustness::formulaLines(500));
    ASSERT_EQ(runOne(data, {"history", "import", dir.file("history.txt")}).exitCode, 0);
    ASSERT_EQ(runOne(data, {"formula", "import", dir.file("formulas.txt")}).exitCode, 0);
    // The stored figures the best method walks are those of the same history.
    ASSERT_EQ(runOne(data, {"backtest", "--kind", "1D"}).exitCode, 0);
    // What the same commands print on the writable folder.
    const QString writable = dir.file(QStringLiteral("writable"));
    Robustness::copyFolder(data, writable);
    const Finished backtest = runOne(writable, {"backtest", "--kind", "1D"});
    ASSERT_EQ(backtest.exitCode, 0) << backtest.err.toStdString();
    const Finished calc = runOne(writable, {"calc", "--kind", "1D"});
    ASSERT_EQ(calc.exitCode, 0) << calc.err.toStdString();

    const QList<QStringList> commands = {{"history", "list"},
                                         {"backtest", "--kind", "1D"},
                                         {"calc", "--kind", "1D"},
                                         {"formula", "add", QStringLiteral("百位码+3")},
                                         {"history", "delete", "--last", "1"}};
    QString why;
    QByteArray digest;
    const auto done = runOnReadOnlyCopy(data, dir.file(QStringLiteral("scratch")), commands, &digest, &why);
    if (!done)
        GTEST_SKIP() << "no read-only data folder can be made here: " << why.toStdString();
    EXPECT_EQ(digest, digestOf(QDir(data).filePath(QStringLiteral("formula.mdb"))));
    const Finished& list = (*done)[0];
    EXPECT_EQ(list.exitCode, 0) << list.err.toStdString();
    EXPECT_EQ(list.out.count('\n'), 301);
    const Finished& readOnlyBacktest = (*done)[1];
    EXPECT_EQ(readOnlyBacktest.exitCode, 0) << readOnlyBacktest.err.toStdString();
    EXPECT_EQ(readOnlyBacktest.out, backtest.out);
    EXPECT_TRUE(readOnlyBacktest.err.contains(QStringLiteral("只读"))) << readOnlyBacktest.err.toStdString();
    EXPECT_EQ(readOnlyBacktest.err.count(QStringLiteral("只读")), 1);
    const Finished& readOnlyCalc = (*done)[2];
    EXPECT_EQ(readOnlyCalc.exitCode, 0) << readOnlyCalc.err.toStdString();
    EXPECT_EQ(readOnlyCalc.out, calc.out);
    // Writes are refused, saying why.
    for (int i : {3, 4}) {
        const Finished& w = (*done)[std::size_t(i)];
        EXPECT_EQ(w.exitCode, 1) << w.args.join(' ').toStdString();
        EXPECT_TRUE(w.err.contains(QStringLiteral("只读"))) << w.err.toStdString();
        EXPECT_FALSE(w.err.contains(QStringLiteral("损坏"))) << w.err.toStdString();
    }
}

} // namespace
