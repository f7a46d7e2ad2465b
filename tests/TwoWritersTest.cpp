// Two programs writing one data folder at the same time, many times over: each either stores its
// whole change or says that another program is using the data folder; neither calls the database
// damaged, and every change a program reported as done is there.
#include "DatabaseContent.h"
#include "RobustnessSupport.h"
#include "TestSupport.h"

#include <QDir>
#include <QMap>
#include <QProcess>
#include <QSet>
#include <gtest/gtest.h>

#include <memory>

namespace {

using Robustness::writeFile;

struct Finished
{
    int exitCode = -1;
    QString out;
    QString err;
};

// Starts every command at once on the same data folder and waits for all of them.
std::vector<Finished> runTogether(const QString& data, const QList<QStringList>& commands)
{
    std::vector<std::unique_ptr<QProcess>> processes;
    for (const QStringList& args : commands) {
        processes.push_back(std::make_unique<QProcess>());
        processes.back()->start(QStringLiteral(ZORVANE_CLI_PATH), QStringList{"--data-dir", data} + args);
    }
    std::vector<Finished> done;
    for (auto& p : processes) {
        p->waitForFinished(120000);
        done.push_back({p->exitStatus() == QProcess::NormalExit ? p->exitCode() : -1,
                        QString::fromUtf8(p->readAllStandardOutput()),
                        QString::fromUtf8(p->readAllStandardError())});
    }
    return done;
}

Finished runOne(const QString& data, const QStringList& args)
{
    return runTogether(data, {args}).front();
}

// A refusal because of the other program names it; nothing else is acceptable.
void expectDoneOrBusy(const Finished& f, const QStringList& args)
{
    if (f.exitCode == 0)
        return;
    EXPECT_EQ(f.exitCode, 1) << args.join(' ').toStdString();
    EXPECT_TRUE(f.err.contains(QStringLiteral("另一个程序正在使用数据文件夹"))) << f.err.toStdString();
    EXPECT_FALSE(f.err.contains(QStringLiteral("损坏"))) << f.err.toStdString();
}

QSet<QString> storedIssues(const QString& data)
{
    QSet<QString> issues;
    const QStringList lines = runOne(data, {"history", "list"}).out.split('\n', Qt::SkipEmptyParts);
    for (int i = 1; i < lines.size(); ++i)
        issues.insert(lines[i].section('\t', 0, 0));
    return issues;
}

QSet<QString> issuesOf(const QByteArray& lines)
{
    QSet<QString> issues;
    for (const QByteArray& line : lines.split('\n'))
        if (!line.trimmed().isEmpty())
            issues.insert(QString::fromLatin1(line.left(9)));
    return issues;
}

// Two history imports of different days. When both succeed the history is what importing them
// one after the other gives: each chains its draws from the draws stored when it writes, not from
// what it saw when it started. When the later day is stored first, the earlier one fills the gap
// before it and the first draw of the later day is chained again from it.
TEST(TwoWriters, TwoHistoryImports)
{
    TempDataFolder dir;
    const int rounds = 12;
    int bothDone = 0;
    for (int round = 0; round < rounds; ++round) {
        const QString data = dir.file(QStringLiteral("round%1").arg(round));
        QDir().mkpath(data);
        const QString day1 = QStringLiteral("1602%1").arg(2 * round + 1, 2, 10, QLatin1Char('0'));
        const QString day2 = QStringLiteral("1602%1").arg(2 * round + 2, 2, 10, QLatin1Char('0'));
        const QByteArray first = Robustness::historyLines(78, day1, unsigned(round));
        const QByteArray second = Robustness::historyLines(78, day2, unsigned(round + 100));
        writeFile(dir.file("a.txt"), first);
        writeFile(dir.file("b.txt"), second);
        ASSERT_EQ(runOne(data, {"history", "add", "160101001", "123"}).exitCode, 0);
        const QStringList a{"history", "import", dir.file("a.txt")};
        const QStringList b{"history", "import", dir.file("b.txt")};
        const std::vector<Finished> done = runTogether(data, {a, b});
        expectDoneOrBusy(done[0], a);
        expectDoneOrBusy(done[1], b);
        const DatabaseContent content = DatabaseContent::read(QDir(data).filePath("formula.mdb"));
        ASSERT_EQ(content.integrity, "ok");
        const QSet<QString> stored = storedIssues(data);
        EXPECT_EQ(stored.contains(issuesOf(first)), done[0].exitCode == 0);
        EXPECT_EQ(stored.intersects(issuesOf(first)), done[0].exitCode == 0);
        EXPECT_EQ(stored.contains(issuesOf(second)), done[1].exitCode == 0);
        EXPECT_EQ(stored.intersects(issuesOf(second)), done[1].exitCode == 0);
        if (done[0].exitCode != 0 || done[1].exitCode != 0)
            continue;
        ++bothDone;
        // The same imports one after the other, in either order: the earlier day imported second
        // fills the gap, so both orders give the same history.
        bool matches = true;
        for (const auto& order : {QList<QStringList>{a, b}, QList<QStringList>{b, a}}) {
            const QString alone = dir.file(QStringLiteral("alone%1").arg(round));
            QDir(alone).removeRecursively();
            QDir().mkpath(alone);
            runOne(alone, {"history", "add", "160101001", "123"});
            bool storedBoth = true;
            for (const QStringList& args : order)
                storedBoth = runOne(alone, args).exitCode == 0 && storedBoth;
            matches = matches && storedBoth &&
                      DatabaseContent::read(QDir(alone).filePath("formula.mdb")).sameAs(content);
        }
        EXPECT_TRUE(matches) << "round " << round << ": the draws were derived from a stale newest draw";
    }
    std::printf("two history imports: %d of %d rounds stored both\n", bothDone, rounds);
}

// Each formula's figures as the list shows them, by formula; formulas without figures are left out.
QMap<QString, QString> figures(const QString& data, const QString& kind)
{
    QMap<QString, QString> out;
    const QStringList lines =
        runOne(data, {"formula", "list", "--kind", kind, "--sense", "all"}).out.split('\n');
    for (int i = 1; i < lines.size(); ++i) {
        const QStringList cells = lines[i].split('\t');
        if (cells.size() >= 9 && !cells[4].isEmpty())
            out[cells[1] + cells[2]] = cells.mid(4, 5).join(' ');
    }
    return out;
}

// A formula import beside a back-test that writes its figures into a table the import rebuilds
// (a change of kind prepares the new kind's table).
TEST(TwoWriters, FormulaImportBesideBacktest)
{
    TempDataFolder dir;
    writeFile(dir.file("history.txt"), Robustness::historyLines(600));
    const QString data = dir.file("data");
    QDir().mkpath(data);
    ASSERT_EQ(runOne(data, {"history", "import", dir.file("history.txt")}).exitCode, 0);
    const int rounds = 12;
    int imported = 0;
    for (int round = 0; round < rounds; ++round) {
        // Each round's file is different, so the round's formulas can be told apart.
        QByteArray file = Robustness::formulaLines(2000);
        file.replace("*", QStringLiteral("*%1+").arg(round + 1).toLatin1());
        writeFile(dir.file("formulas.txt"), file);
        const QStringList import{"formula", "import", dir.file("formulas.txt")};
        const QStringList backtest{"backtest", "--kind", "2D"};
        const std::vector<Finished> done = runTogether(data, {import, backtest});
        expectDoneOrBusy(done[0], import);
        expectDoneOrBusy(done[1], backtest);
        ASSERT_EQ(DatabaseContent::read(QDir(data).filePath("formula.mdb")).integrity, "ok");
        if (done[0].exitCode == 0)
            ++imported;
        // Every import that said it was done is there, 400 formulas of each kind per round.
        const Finished listed = runOne(data, {"formula", "list", "--kind", "2G", "--sense", "all"});
        EXPECT_EQ(listed.out.count('\n') - 1, 400 * imported) << "round " << round;
        // The figures the back-test wrote belong to the formulas it computed them for: the same
        // back-test alone gives every formula the same figures.
        const QMap<QString, QString> written = figures(data, "2D");
        ASSERT_EQ(runOne(data, backtest).exitCode, 0);
        const QMap<QString, QString> alone = figures(data, "2D");
        for (auto it = written.begin(); it != written.end(); ++it)
            EXPECT_EQ(it.value(), alone.value(it.key()))
                << "round " << round << ": " << it.key().toStdString();
    }
    std::printf("formula import beside a back-test: %d of %d imports stored\n", imported, rounds);
}

} // namespace
