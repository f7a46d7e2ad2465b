// Each long write of the command line is started again and again and stopped with SIGKILL at
// moments spread over its whole run. Afterwards the database must pass PRAGMA integrity_check and
// hold exactly what it held before the write or exactly what the finished write leaves; never a
// part. The moments come from a fixed seed (ZORVANE_KILL_SEED changes it, ZORVANE_KILLS the number
// of kills per write).
#include "ChildProcess.h"
#include "DatabaseContent.h"
#include "FixtureResultsPages.h"
#include "FixtureResultsServer.h"
#include "RobustnessSupport.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

#include <functional>
#include <random>

namespace {

using Robustness::copyFolder;
using Robustness::writeFile;

int envInt(const char* name, int fallback)
{
    bool ok = false;
    const int v = qEnvironmentVariableIntValue(name, &ok);
    return ok ? v : fallback;
}

class KilledWrite : public ::testing::Test
{
protected:
    QString templateFolder() const { return m_root.file(QStringLiteral("template")); }
    QString workFolder() const { return m_root.file(QStringLiteral("work")); }
    QString input(const QString& name) const { return m_root.file(name); }

    // Builds the data folder the write starts from with zorvane-cli commands.
    void prepare(const QList<QStringList>& commands)
    {
        QDir().mkpath(templateFolder());
        for (const QStringList& args : commands) {
            const ChildOutcome r = runCliChild(templateFolder(), args);
            ASSERT_EQ(r.exitCode, 0) << args.join(' ').toStdString() << ": " << r.err.toStdString();
        }
    }

    // Runs the write once to the end, then kills it repeatedly at moments spread over that run's
    // length (and a little past it), checking the database after each kill.
    void killRepeatedly(const QStringList& args)
    {
        const QString db = QDir(workFolder()).filePath(QStringLiteral("formula.mdb"));
        const DatabaseContent before = DatabaseContent::read(QDir(templateFolder()).filePath("formula.mdb"));
        ASSERT_EQ(before.integrity, "ok");

        copyFolder(templateFolder(), workFolder());
        const ChildOutcome full = runCliChild(workFolder(), args);
        ASSERT_EQ(full.exitCode, 0) << full.err.toStdString();
        const DatabaseContent after = DatabaseContent::read(db);
        ASSERT_EQ(after.integrity, "ok");
        ASSERT_FALSE(after.sameAs(before)) << "the write changed nothing";

        const int kills = envInt("ZORVANE_KILLS", 50);
        std::mt19937 rng(unsigned(envInt("ZORVANE_KILL_SEED", 19)));
        std::uniform_real_distribution<double> jitter(0.0, 1.0);
        const double span = full.elapsedMs * 1.1;
        int asBefore = 0, asAfter = 0, finished = 0;
        for (int i = 0; i < kills; ++i) {
            copyFolder(templateFolder(), workFolder());
            ChildOptions options;
            options.killAfterMs = int((i + jitter(rng)) / kills * span);
            const ChildOutcome run = runCliChild(workFolder(), args, options);
            if (!run.killed) {
                ++finished;
                EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
            }
            const DatabaseContent now = DatabaseContent::read(db);
            ASSERT_EQ(now.integrity, "ok") << "killed after " << options.killAfterMs << " ms";
            const bool isBefore = now.sameAs(before);
            const bool isAfter = now.sameAs(after);
            ASSERT_TRUE(isBefore || isAfter)
                << "killed after " << options.killAfterMs << " ms: the database holds part of the write";
            asBefore += isBefore;
            asAfter += isAfter;
        }
        std::printf("%s: one run %lld ms; %d kills: %d left it as before, %d as after (%d finished first)\n",
                    args.mid(0, 2).join(' ').toUtf8().constData(), qint64(full.elapsedMs), kills, asBefore,
                    asAfter, finished);
    }

    TempDataFolder m_root;
};

TEST_F(KilledWrite, HistoryImportOf30000Lines)
{
    writeFile(input("history.txt"), Robustness::historyLines(30000));
    writeFile(input("start.txt"), Robustness::historyLines(5, QStringLiteral("151231")));
    prepare({{"history", "import", input("start.txt")}});
    killRepeatedly({"history", "import", input("history.txt")});
}

TEST_F(KilledWrite, FormulaImportOf30000Lines)
{
    writeFile(input("formulas.txt"), Robustness::formulaLines(30000));
    writeFile(input("start.txt"), Robustness::formulaLines(40));
    prepare({{"formula", "import", input("start.txt")}});
    killRepeatedly({"formula", "import", input("formulas.txt")});
}

TEST_F(KilledWrite, SearchSave)
{
    writeFile(input("history.txt"), Robustness::historyLines(400));
    writeFile(input("start.txt"), Robustness::formulaLines(40));
    prepare({{"history", "import", input("history.txt")}, {"formula", "import", input("start.txt")}});
    // Every candidate qualifies, so the save writes every one of them.
    killRepeatedly({"search", "--kind", "2G", "--tries", "4000", "--seed", "7", "--threads", "1", "--ranges",
                    "0,100,0,32768,0,32768,0,32768,0,32768", "--save", "append"});
}

TEST_F(KilledWrite, FormulaUpdate)
{
    FixtureResultsServer server;
    server.setPage(Robustness::publishedFormulaFile(5000), "text/plain");
    writeFile(input("start.txt"), Robustness::formulaLines(200));
    prepare({{"formula", "import", input("start.txt")}});
    killRepeatedly({"formula", "update", "--url", server.baseUrl() + QStringLiteral("/Pelq.txt")});
}

TEST_F(KilledWrite, HistoryUpdate)
{
    FixtureResultsServer server;
    server.setPage(FixtureResultsPages::page(
        FixtureResultsPages::datedDraws(QDate(2016, 1, 12), 1, QDate(2016, 1, 21), 78, 78)));
    writeFile(input("start.txt"), Robustness::historyLines(3, QStringLiteral("160111")));
    prepare({{"history", "import", input("start.txt")}});
    killRepeatedly(
        {"history", "update", "--base-url", server.baseUrl(), "--today", "160121", "--days", "10"});
}

TEST_F(KilledWrite, FormulaDedupe)
{
    writeFile(input("history.txt"), Robustness::historyLines(300));
    writeFile(input("formulas.txt"), Robustness::equivalentFormulaLines(3000));
    prepare({{"history", "import", input("history.txt")}, {"formula", "import", input("formulas.txt")}});
    // The deletion of the equivalents, then the compaction.
    killRepeatedly({"formula", "dedupe", "--kind", "1D", "--sense", "all", "--yes"});
}

// The deletion commits first; then the compacted copy is swapped in. "formula.mdb" must always
// be a whole database: the one before the deletion or the one after it, compacted or not.
TEST_F(KilledWrite, CompactionAfterDeletion)
{
    writeFile(input("history.txt"), Robustness::historyLines(6000));
    writeFile(input("formulas.txt"), Robustness::formulaLines(3000));
    prepare({{"history", "import", input("history.txt")}, {"formula", "import", input("formulas.txt")}});
    killRepeatedly({"history", "delete", "--last", "3000"});
    // Whatever the kill left behind beside it, the next deletion compacts again.
    const ChildOutcome again = runCliChild(workFolder(), {"history", "delete", "--last", "1"});
    EXPECT_EQ(again.exitCode, 0) << again.err.toStdString();
    EXPECT_EQ(DatabaseContent::read(QDir(workFolder()).filePath("formula.mdb")).integrity, "ok");
}

} // namespace
