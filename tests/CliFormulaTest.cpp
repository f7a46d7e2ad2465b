#include "CliRunner.h"
#include "SyntheticHistory.h"
#include "TestSupport.h"

#include "formula/FormulaTableStore.h"
#include "history/Workspace.h"
#include "store/Settings.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

QStringList rows(const QString& out)
{
    return out.trimmed().split('\n');
}

void addHistory(const QString& dir, std::initializer_list<std::pair<const char*, const char*>> draws)
{
    for (const auto& [issue, digits] : draws)
        ASSERT_EQ(runCli(dir, {"history", "add", issue, digits}).exitCode, 0);
}

// Stores a formula as given, past the checks of typed entry: an older database may hold formulas
// that cannot be evaluated.
void storeUnchecked(const QString& dir, const char* code, bool kill)
{
    Workspace ws;
    QString error;
    ASSERT_TRUE(ws.open(dir, &error)) << error.toStdString();
    FormulaRecord r;
    r.gongshi = r.gongshiCN = QString::fromUtf8(code);
    r.bolKill = kill;
    ASSERT_TRUE(FormulaTableStore(&ws.database()).append(FormulaKind{1, true}, {r}, &error))
        << error.toStdString();
}

} // namespace

TEST(CliTranslate, PrintsCodeOrRefuses)
{
    TempDataFolder dir;
    CliResult r = runCli(dir.path(), {"translate", QStringLiteral("本期号合+上期号")});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "QHW+SQH\n");
    r = runCli(dir.path(), {"translate", QStringLiteral("十位码+跨度+3.5")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.out.isEmpty());
    EXPECT_TRUE(r.err.contains("."));
    r = runCli(dir.path(), {"translate", QStringLiteral("百位码+千位码")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("千")));
    EXPECT_EQ(runCli(dir.path(), {"translate"}).exitCode, 2);
}

TEST(CliFormula, AddListAndDecorations)
{
    TempDataFolder dir;
    CliResult r = runCli(dir.path(), {"formula", "add", QStringLiteral("百位码+和数+3")});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, "Gongshi1D\tkill\tL1A+LH+3\n");
    // The text's own kind and sense take the place of the options.
    r = runCli(dir.path(),
               {"formula", "add", "--sense", "kill", QStringLiteral("十位码+和数+3=下期生码十位通选")});
    EXPECT_EQ(r.out, "Gongshi2G\tkeep\tL2A+LH+3\n");
    r = runCli(dir.path(),
               {"formula", "add", "--kind", "3G", "--sense", "keep", QStringLiteral("[十位通选杀]十位码+3")});
    EXPECT_EQ(r.out, "Gongshi2G\tkeep\tL2A+3\n");
    // Typed entry refuses a formula that cannot be evaluated, saying why.
    r = runCli(dir.path(), {"formula", "add", "--kind", "3d", "--sense", "keep", "L1A++"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("无法计算")));
    EXPECT_EQ(rows(runCli(dir.path(), {"formula", "list", "--kind", "3D", "--sense", "all"}).out).size(), 1);
    EXPECT_EQ(runCli(dir.path(), {"formula", "add", QStringLiteral("下期杀十位通选")}).exitCode, 1);
    EXPECT_EQ(runCli(dir.path(), {"formula", "add", "--kind", "1G", "L1A"}).exitCode, 2);
    EXPECT_EQ(runCli(dir.path(), {"formula", "add", "--sense", "maybe", "L1A"}).exitCode, 2);
    EXPECT_EQ(runCli(dir.path(), {"formula", "add"}).exitCode, 2);
    EXPECT_EQ(runCli(dir.path(), {"formula", "nosuch"}).exitCode, 2);

    r = runCli(dir.path(), {"formula", "list", "--kind", "2G", "--sense", "keep"});
    ASSERT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, QStringLiteral(
                         "idx\tsense\tgongshi\tgongshiCN\tsglGsRate\tintGsErrCon\tintGsTrueCon\tintGsErrLst\t"
                         "intGsTrueLst\n"
                         "1\tkeep\tL2A+LH+3\t十位码+和数+3=下期生码十位通选\t\t\t\t\t\n"
                         "2\tkeep\tL2A+3\t[十位通选杀]十位码+3\t\t\t\t\t\n"));
    EXPECT_EQ(rows(runCli(dir.path(), {"formula", "list", "--kind", "2G"}).out).size(), 1);
    EXPECT_EQ(rows(runCli(dir.path(), {"formula", "list", "--kind", "2G", "--sense", "all"}).out).size(), 3);
    EXPECT_EQ(rows(runCli(dir.path(), {"formula", "list"}).out).size(), 2);
}

TEST(CliBacktest, PrintsAndWritesBackTheFigures)
{
    TempDataFolder dir;
    addHistory(dir.path(),
               {{"160121001", "111"}, {"160121002", "125"}, {"160121003", "133"}, {"160121004", "143"}});
    ASSERT_EQ(runCli(dir.path(), {"formula", "add", "--sense", "keep", "3"}).exitCode, 0);
    storeUnchecked(dir.path(), "L1A++", false);
    ASSERT_EQ(runCli(dir.path(), {"formula", "add", "--sense", "keep", "L3A/2"}).exitCode, 0);
    CliResult r = runCli(dir.path(), {"backtest", "--sense", "keep", "--lookback", "0"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    // Settings defaults: weighted, so the verdicts miss, hit, hit weigh 1, 4, 9.
    QStringList lines = rows(r.out);
    ASSERT_EQ(lines.size(), 4);
    EXPECT_EQ(lines[0], "n\tidx\tgongshi\trate\tweighted_hits\ttotal_weight\tmax_miss_run\tmax_hit_run\t"
                        "final_miss_run\tfinal_hit_run\tnext\thits\ttested\tchance_rate\texcess\tz\tp\t"
                        "equivalent_to\tq");
    // After the columns of old, the figures against chance: predicting 3 is right 1 time in 6;
    // z = (13 − 14/6) / sqrt(98 · 1/6 · 5/6). Last, q: the p corrected over the two formulas
    // with a p (Benjamini–Yekutieli, m c(m) = 3): 3 × 0.001919 / 1.
    const double p3 = lines[3].section('\t', 16, 16).toDouble();
    const double q1 = std::min({1.0, 3 * 0.0019187 / 1, 3 * std::max(p3, 0.0019187) / 2});
    EXPECT_EQ(lines[1].section('\t', 0, 17),
              "1\t1\t3\t92.8571\t13\t14\t1\t2\t0\t2\t3\t2\t3\t16.6667\t76.1905\t2.891\t0.001919\t");
    EXPECT_NEAR(lines[1].section('\t', 18, 18).toDouble(), q1, 1e-5);
    EXPECT_EQ(lines[2], "2\t2\tL1A++\tinvalid\t0\t0\t0\t0\t0\t0\t\t0\t0\t\t\t\t\t\t");
    EXPECT_EQ(lines[3].section('\t', 10, 10),
              "1"); // 3/2 = 1.5; MOD rounds 0.5 to 0, so ((1.5 − 1) MOD 6) + 1 = 1
    // The summary line on stderr, over the two valid formulas: one of two below 0.05 happens by luck
    // one time in ten, not clearly more than luck gives.
    auto mean = [&](int column) {
        return (lines[1].section('\t', column, column).toDouble() +
                lines[3].section('\t', column, column).toDouble()) /
               2;
    };
    // Four draws are too few to tell how they are published: the chance is that of dice as drawn,
    // and the command says so first.
    const QStringList errLines = r.err.trimmed().split('\n');
    ASSERT_EQ(errLines.size(), 2);
    EXPECT_EQ(errLines[0], QStringLiteral("机会按开出顺序的开奖号码计算"));
    EXPECT_EQ(errLines[1], QStringLiteral("本类 2 条公式：平均正确率 %1%，机会率 %2%；p<0.05 的有 1 条，"
                                          "纯属运气时约有 0 条；校正多重比较后仍显著的有 %3 条%4")
                               .arg(mean(3), 0, 'f', 2)
                               .arg(mean(13), 0, 'f', 2)
                               .arg(q1 < 0.05 ? 1 : 0)
                               .arg(q1 < 0.05 ? QString() : QStringLiteral("，与随机无明显差别")));
    // Unweighted, every draw has the same chance 1/6: p is the exact binomial tail P(X ≥ 2) of
    // three draws, 3 · (1/6)² · 5/6 + (1/6)³ = 0.074074 (the normal tail said 0.010068).
    r = runCli(dir.path(), {"backtest", "--sense", "keep", "--lookback", "0", "--weighted", "false"});
    EXPECT_EQ(rows(r.out)[1].section('\t', 0, 17),
              "1\t1\t3\t66.6667\t2\t3\t1\t2\t0\t2\t3\t2\t3\t16.6667\t50.0000\t2.324\t0.074074\t");
    r = runCli(dir.path(), {"backtest", "--sense", "keep", "--lookback", "1", "--exclude-current", "false",
                            "--weighted", "false"});
    EXPECT_EQ(rows(r.out)[1].section('\t', 4, 5), "2\t2");
    const QStringList listed = rows(runCli(dir.path(), {"formula", "list", "--sense", "keep"}).out);
    EXPECT_EQ(listed[1], "1\tkeep\t3\t3\t100.0000\t0\t2\t0\t2");
    EXPECT_EQ(listed[2], "2\tkeep\tL1A++\tL1A++\t0.0000\t0\t0\t0\t0");

    EXPECT_EQ(runCli(dir.path(), {"backtest", "--lookback", "-1"}).exitCode, 2);
    EXPECT_EQ(runCli(dir.path(), {"backtest", "--weighted", "yes"}).exitCode, 2);
    EXPECT_EQ(runCli(dir.path(), {"backtest", "extra"}).exitCode, 2);
    // No formulas of the sense: only the header.
    EXPECT_EQ(rows(runCli(dir.path(), {"backtest", "--kind", "3G"}).out).size(), 1);
}

// 单选 formulas are equivalent only when they also vote alike (value MOD 10): constants 6 apart
// predict alike but vote for other digits, 30 apart do both; 通选 formulas keep the number alone.
TEST(CliBacktest, EquivalentFormulasAndDedupe)
{
    TempDataFolder dir;
    addHistory(dir.path(), {{"160121001", "111"},
                            {"160121002", "125"},
                            {"160121003", "133"},
                            {"160121004", "143"},
                            {"160121005", "356"}});
    // 1 and 6 vote alike on every draw (the sum is never 0), so do 2 and 5; 3 predicts as 1 but
    // votes 6 digits away; 4 differs.
    for (const char* code : {"L1A+LT+3", "L3A", "LT+L1A+9", "L2A", "L3A+30", "L1A+LT+33"})
        ASSERT_EQ(runCli(dir.path(), {"formula", "add", code}).exitCode, 0);
    ASSERT_EQ(runCli(dir.path(), {"formula", "add", "--sense", "keep", "L3A+12"}).exitCode, 0);
    for (const char* code : {"L1A+LT+3", "LT+L1A+9", "L2A"})
        ASSERT_EQ(runCli(dir.path(), {"formula", "add", "--kind", "2G", code}).exitCode, 0);
    CliResult r = runCli(dir.path(), {"backtest"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    QStringList equivalentTo;
    for (const QString& line : rows(r.out).mid(1))
        equivalentTo << line.section('\t', 17, 17);
    EXPECT_EQ(equivalentTo, (QStringList{"", "", "", "", "2", "1"}));
    r = runCli(dir.path(), {"backtest", "--kind", "2G"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    equivalentTo.clear();
    for (const QString& line : rows(r.out).mid(1))
        equivalentTo << line.section('\t', 17, 17);
    EXPECT_EQ(equivalentTo, (QStringList{"", "1", ""}));

    // Listing without --yes deletes nothing; the keep formula has no equal among the keep formulas.
    r = runCli(dir.path(), {"formula", "dedupe"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, "sense\tkept_idx\tkept_gongshi\tequivalent_idx\tequivalent_gongshi\n"
                     "kill\t1\tL1A+LT+3\t6\tL1A+LT+33\n"
                     "kill\t2\tL3A\t5\tL3A+30\n");
    EXPECT_TRUE(r.err.contains("groups 2 equivalents 2\n")) << r.err.toStdString();
    EXPECT_EQ(rows(runCli(dir.path(), {"formula", "list", "--sense", "all"}).out).size(), 8);
    r = runCli(dir.path(), {"formula", "dedupe", "--kind", "2G"});
    EXPECT_EQ(r.out, "sense\tkept_idx\tkept_gongshi\tequivalent_idx\tequivalent_gongshi\n"
                     "kill\t1\tL1A+LT+3\t2\tLT+L1A+9\n");
    // With --yes: deleted in one go, the rest renumbered 1..n with the keep formula after them.
    r = runCli(dir.path(), {"formula", "dedupe", "--sense", "all", "--yes"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.err.endsWith("groups 2 equivalents 2\ndeleted 2\n")) << r.err.toStdString();
    EXPECT_EQ(r.out.count('\n'), 3);
    QStringList listed = rows(runCli(dir.path(), {"formula", "list", "--sense", "all"}).out);
    ASSERT_EQ(listed.size(), 6);
    EXPECT_TRUE(listed[1].startsWith("1\tkill\tL1A+LT+3\t"));
    EXPECT_TRUE(listed[2].startsWith("2\tkill\tL3A\t"));
    EXPECT_TRUE(listed[3].startsWith("3\tkill\tLT+L1A+9\t"));
    EXPECT_TRUE(listed[4].startsWith("4\tkill\tL2A\t"));
    EXPECT_TRUE(listed[5].startsWith("5\tkeep\tL3A+12\t"));
    r = runCli(dir.path(), {"formula", "dedupe", "--yes"});
    EXPECT_EQ(r.out, "sense\tkept_idx\tkept_gongshi\tequivalent_idx\tequivalent_gongshi\n");
    EXPECT_TRUE(r.err.contains("groups 0 equivalents 0")) << r.err.toStdString();
    EXPECT_EQ(runCli(dir.path(), {"formula", "dedupe", "--kind", "1G"}).exitCode, 2);
    EXPECT_EQ(runCli(dir.path(), {"formula", "dedupe", "extra"}).exitCode, 2);
}

// The figures against chance follow how the stored draws are published: detected (smallest first
// here), or as --order says; every command that shows them names the order first on stderr.
TEST(CliChance, PublicationOrderAndTheFairnessCheck)
{
    TempDataFolder dir;
    {
        Workspace ws;
        QString error;
        ASSERT_TRUE(ws.open(dir.path(), &error)) << error.toStdString();
        ASSERT_TRUE(ws.history().append(syntheticDraws(200, 4, true), &error)) << error.toStdString();
        ws.settings().setLookBackIndex(1); // 100 draws, so that the replay has draws to replay
        addFormulas(ws, {1, true}, true, {"6", "1"}, QString());
    }
    const QString ascendingLine = QStringLiteral("机会按从小到大排列的开奖号码计算");
    const QString drawnLine = QStringLiteral("机会按开出顺序的开奖号码计算");
    // 个位单选杀 6 is right unless 个位 is 6: 125 of 216 sorted throws; 1 is wrong 1 time in 216.
    CliResult r = runCli(dir.path(), {"backtest", "--kind", "1D", "--lookback", "0"});
    ASSERT_EQ(LookBackTable::draws(1), 100);
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.err.section('\n', 0, 0), ascendingLine);
    QStringList lines = rows(r.out);
    EXPECT_EQ(lines[1].section('\t', 13, 13), "57.8704");
    EXPECT_EQ(lines[2].section('\t', 13, 13), "99.5370");
    r = runCli(dir.path(), {"backtest", "--kind", "1D", "--lookback", "0", "--order", "drawn"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.err.section('\n', 0, 0), drawnLine);
    lines = rows(r.out);
    EXPECT_EQ(lines[1].section('\t', 13, 13), "83.3333");
    // Read as drawn, sorted draws are unlike fair dice, and the summary says so.
    EXPECT_TRUE(r.err.contains(QStringLiteral("开奖历史与公平骰子不符"))) << r.err.toStdString();
    r = runCli(dir.path(), {"backtest", "--order", "sorted"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(r.err.contains("--order takes auto, ascending or drawn")) << r.err.toStdString();

    for (const QStringList& command :
         {QStringList{"search", "--kind", "1D", "--tries", "20", "--seed", "3", "--order", "drawn"},
          QStringList{"calc", "--kind", "1D", "--replay", "3", "--order", "drawn"},
          QStringList{"history", "fairness", "--order", "drawn"}}) {
        r = runCli(dir.path(), command);
        ASSERT_EQ(r.exitCode, 0) << command.join(' ').toStdString() << r.err.toStdString();
        EXPECT_EQ(r.err.section('\n', 0, 0), drawnLine) << command.join(' ').toStdString();
    }

    // The fairness check: the 56 sorted outcomes, then the statistic, degrees and p.
    r = runCli(dir.path(), {"history", "fairness"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    lines = rows(r.out);
    ASSERT_EQ(lines.size(), 1 + 56 + 3);
    EXPECT_EQ(lines[0], "cell\tobserved\texpected");
    EXPECT_EQ(lines[1].section('\t', 0, 0), "111");
    EXPECT_EQ(lines[1].section('\t', 2, 2), QString::number(200.0 / 216, 'f', 4));
    int observed = 0;
    for (int i = 1; i <= 56; ++i) {
        EXPECT_EQ(lines[i].count('\t'), 2);
        observed += lines[i].section('\t', 1, 1).toInt();
    }
    EXPECT_EQ(observed, 200);
    EXPECT_EQ(lines[58], "degrees\t55\t");
    EXPECT_TRUE(r.err.contains(QStringLiteral("近 200 期与公平骰子相符"))) << r.err.toStdString();
    r = runCli(dir.path(), {"history", "fairness", "--last", "50", "--order", "drawn"});
    lines = rows(r.out);
    ASSERT_EQ(lines.size(), 1 + 18 + 3);
    EXPECT_EQ(lines[1], "百位1\t" + lines[1].section('\t', 1, 1) + "\t8.3333");
    EXPECT_TRUE(r.err.contains(QStringLiteral("近 50 期与公平骰子不符"))) << r.err.toStdString();
    EXPECT_EQ(runCli(dir.path(), {"history", "fairness", "--last", "0"}).exitCode, 2);
}
