#include "CliRunner.h"
#include "SyntheticHistory.h"
#include "TestSupport.h"

#include "formula/FormulaKind.h"
#include "history/Workspace.h"

#include <QSet>
#include <gtest/gtest.h>

namespace {

// Draws 123 and 456; formulas of 十位通选 (kill and keep) and of 个位单选 and 十位单选 (kill).
class CliCalc : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Workspace ws;
        QString error;
        ASSERT_TRUE(ws.open(dir.path(), &error));
        addDraws(ws, {{"160121001", "123"}, {"160121002", "456"}});
        // On 456: L1A 4 -> 4, L2A 5 -> 5, L3A+1 7 -> 1, L1A+6 10 -> 4. On 123: 1, 2, 4, 1.
        addFormulas(ws, {2, false}, true, {"L1A", "L2A", "L3A+1", "L1A+6"}, QString());
        addFormulas(ws, {2, false}, false, {"L1A", "L2A"}, QString());
        // 单选 votes v MOD 10: 个位 L1A+9 13 -> 3, 十位 L2A*3 15 -> 5.
        addFormulas(ws, {1, true}, true, {"L1A+9"}, QString());
        addFormulas(ws, {2, true}, true, {"L2A*3"}, QString());
    }
    CliResult calc(const QStringList& args) { return runCli(dir.path(), QStringList{"calc"} + args); }

    TempDataFolder dir;
};

const char* kHeader = "position\trank\tnumber\tvotes\tkill_votes\tkeep_votes\tverdict\n";

} // namespace

TEST_F(CliCalc, SelectedFormulasRankTheNumbersAsTheRankingWindowDoes)
{
    const CliResult next = calc({"--kind", "2G", "--method", "selected"});
    ASSERT_EQ(next.exitCode, 0) << next.err.toStdString();
    // Kill sense: fewest votes first, equal counts in ascending number; named numbers are 滤杀.
    EXPECT_EQ(next.out, QString::fromUtf8(kHeader) + QStringLiteral("2\t1\t2\t0\t0\t0\t保留\n"
                                                                    "2\t2\t3\t0\t0\t0\t保留\n"
                                                                    "2\t3\t6\t0\t0\t0\t保留\n"
                                                                    "2\t4\t1\t1\t1\t0\t滤杀\n"
                                                                    "2\t5\t5\t1\t1\t0\t滤杀\n"
                                                                    "2\t6\t4\t2\t2\t0\t滤杀\n"));

    // "验证历史结果" of the second issue reads the first draw: votes 1, 2, 4, 1.
    const CliResult verified = calc({"--kind", "2G", "--method", "selected", "--issue", "160121002"});
    ASSERT_EQ(verified.exitCode, 0);
    EXPECT_TRUE(verified.out.endsWith(QStringLiteral("2\t6\t1\t2\t2\t0\t滤杀\n")))
        << verified.out.toStdString();

    // Keep sense: the votes are keep votes, most votes first, unnamed numbers 滤杀.
    const CliResult keep = calc({"--kind", "2G", "--sense", "keep", "--method", "selected"});
    const QStringList rows = keep.out.trimmed().split('\n');
    ASSERT_EQ(rows.size(), 7);
    EXPECT_EQ(rows[1], QStringLiteral("2\t1\t4\t1\t0\t1\t保留"));
    EXPECT_EQ(rows[6], QStringLiteral("2\t6\t6\t0\t0\t0\t滤杀"));
}

TEST_F(CliCalc, SingleSelectionRanksEveryPositionUpToTheKinds)
{
    const CliResult r = calc({"--kind", "2D", "--method", "selected"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QStringList rows = r.out.trimmed().split('\n');
    ASSERT_EQ(rows.size(), 1 + 20);
    for (int i = 1; i <= 20; ++i)
        EXPECT_TRUE(rows[i].startsWith(i <= 10 ? "1\t" : "2\t")) << rows[i].toStdString();
    // Each position's voted digit comes last, the other nine before it in ascending digit.
    EXPECT_EQ(rows[10], QStringLiteral("1\t10\t3\t1\t1\t0\t滤杀"));
    EXPECT_EQ(rows[20], QStringLiteral("2\t10\t5\t1\t1\t0\t滤杀"));
    EXPECT_EQ(rows[1], QStringLiteral("1\t1\t0\t0\t0\t0\t保留"));
}

TEST_F(CliCalc, BestMethodPrintsItsWalkAndStopsAtTheLimit)
{
    const CliResult r =
        calc({"--kind", "2G", "--method", "best", "--keys", "rate,max_miss_run", "--limit", "4"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    QStringList rows = r.out.trimmed().split('\n');
    // The walk goes to stderr; the standard output holds the ranking alone.
    QStringList walk;
    for (const QString& row : r.err.split('\n'))
        if (row.startsWith("walk\t"))
            walk << row;
    // Kill sense, L = 4: the walk stops once 6 - 4 = 2 different numbers were voted for.
    QSet<QString> voted;
    for (const QString& step : walk) {
        const QStringList f = step.split('\t');
        ASSERT_EQ(f.size(), 4) << step.toStdString();
        EXPECT_TRUE(QStringList({"L1A", "L2A", "L3A+1", "L1A+6"}).contains(f[2]));
        voted.insert(f[3]);
    }
    EXPECT_EQ(voted.size(), 2);
    // The ranking holds exactly the walk's votes.
    int votes = 0;
    for (int i = 1; i <= 6; ++i)
        votes += rows[i].split('\t')[3].toInt();
    EXPECT_EQ(votes, walk.size());
    EXPECT_EQ(rows.size(), 7);
    // The selected method prints no walk.
    EXPECT_FALSE(calc({"--kind", "2G", "--method", "selected"}).err.contains("walk"));
}

TEST_F(CliCalc, RefusalsSayWhy)
{
    struct Refusal
    {
        QStringList args;
        int exitCode;
        QString says;
    };
    const std::vector<Refusal> refusals{
        {{"--kind", "3G"}, 1, QStringLiteral("百位通选没有杀码公式")},
        {{"--kind", "3D"}, 0, QString()}, // 个位 and 十位 still have formulas
        {{"--kind", "2G", "--issue", "160121009"}, 1, QStringLiteral("不在历史号码中")},
        {{"--kind", "2G", "--issue", "160121001"}, 1, QStringLiteral("最早的一期")},
        {{"--kind", "2G", "--method", "worst"}, 2, QStringLiteral("--method")},
        {{"--kind", "2G", "--keys", "rate,speed"}, 2, QStringLiteral("speed")},
        {{"--kind", "2G", "--limit", "x"}, 2, QStringLiteral("--limit")},
        {{"--kind", "2G", "extra"}, 2, QStringLiteral("extra")},
    };
    for (const Refusal& f : refusals) {
        const CliResult r = calc(f.args);
        EXPECT_EQ(r.exitCode, f.exitCode) << f.args.join(' ').toStdString() << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(f.says)) << r.err.toStdString();
    }
    TempDataFolder empty;
    const CliResult none = runCli(empty.path(), {"calc"});
    EXPECT_EQ(none.exitCode, 1);
    EXPECT_TRUE(none.err.contains(QStringLiteral("没有历史号码")));
}

// calc --replay K: each of the newest K draws calculated from the draws before it, exactly as
// "--issue" calculates that one draw.
TEST(CliCalcReplay, EachReplayedDrawIsTheVerificationOfThatIssue)
{
    TempDataFolder dir;
    std::vector<DrawRecord> draws = syntheticDraws(330, 8);
    {
        Workspace ws;
        QString error;
        ASSERT_TRUE(ws.open(dir.path(), &error));
        ASSERT_TRUE(ws.history().append(draws, &error)) << error.toStdString();
        addFormulas(ws, {2, false}, true,
                    {"L1A+LH", "L2A*2+1", "L3A+LT+2", "LH+LT", "L1G+3", "L2D+L3E", "SQH+5", "LX+L1A"},
                    QString());
    }
    const QStringList common{"calc",    "--kind", "2G", "--method", "best", "--keys", "rate,max_miss_run",
                             "--limit", "3"};
    const CliResult replay = runCli(dir.path(), common + QStringList{"--replay", "4"});
    ASSERT_EQ(replay.exitCode, 0) << replay.err.toStdString();
    const QStringList lines = replay.out.trimmed().split('\n');
    ASSERT_EQ(lines.size(), 5);
    EXPECT_EQ(lines[0], "issue\tdrawn\tkilled\tkilled_drawn\tlevels");
    EXPECT_TRUE(replay.err.contains(QStringLiteral("回测 4 期"))) << replay.err.toStdString();
    EXPECT_TRUE(replay.err.contains(QStringLiteral("开奖号码所在位次")));
    for (int i = 1; i <= 4; ++i) {
        const QStringList f = lines[i].split('\t');
        ASSERT_EQ(f.size(), 5) << lines[i].toStdString();
        const DrawRecord& d = draws[std::size_t(330 - 5 + i)];
        EXPECT_EQ(f[0], d.issue);
        EXPECT_EQ(f[1], QStringLiteral("%1%2%3").arg(d.number(1)).arg(d.number(2)).arg(d.number(3)));
        // The same draw verified alone: its 滤杀 numbers, in ascending order.
        const CliResult verified = runCli(dir.path(), common + QStringList{"--issue", d.issue});
        ASSERT_EQ(verified.exitCode, 0) << verified.err.toStdString();
        QStringList killed;
        for (const QString& row : verified.out.trimmed().split('\n'))
            if (row.endsWith(QStringLiteral("滤杀")))
                killed << row.split('\t')[2];
        killed.sort();
        EXPECT_EQ(f[2], killed.join(',')) << d.issue.toStdString();
        int drawn = 0;
        for (const QString& n : killed)
            drawn += (n.toInt() == d.number(2) || n.toInt() == d.number(3)) ? 1 : 0;
        EXPECT_EQ(f[3].toInt(), drawn);
        EXPECT_EQ(f[4].split(',').size(), 2); // 十位 and 个位
    }
    // Nothing more than the history minus the look-back (300 by default), not with --issue, not 0.
    const CliResult tooMany = runCli(dir.path(), common + QStringList{"--replay", "31"});
    EXPECT_EQ(tooMany.exitCode, 1);
    EXPECT_TRUE(tooMany.err.contains(QStringLiteral("1 到 30"))) << tooMany.err.toStdString();
    EXPECT_EQ(runCli(dir.path(), common + QStringList{"--replay", "0"}).exitCode, 2);
    EXPECT_EQ(runCli(dir.path(), common + QStringList{"--replay", "3", "--issue", draws[200].issue}).exitCode,
              2);
    EXPECT_EQ(runCli(dir.path(), {"calc", "--kind", "3G", "--replay", "3"}).exitCode, 1); // no formulas
}
