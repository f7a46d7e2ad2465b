#include "CliRunner.h"
#include "TestSupport.h"

#include "formula/FormulaTableStore.h"
#include "history/Workspace.h"

#include <gtest/gtest.h>

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
                        "equivalent_to");
    // After the columns of old, the figures against chance: predicting 3 is right 1 time in 6;
    // z = (13 − 14/6) / sqrt(98 · 1/6 · 5/6).
    EXPECT_EQ(lines[1], "1\t1\t3\t92.8571\t13\t14\t1\t2\t0\t2\t3\t2\t3\t16.6667\t76.1905\t2.891\t0.001919\t");
    EXPECT_EQ(lines[2], "2\t2\tL1A++\tinvalid\t0\t0\t0\t0\t0\t0\t\t0\t0\t\t\t\t\t");
    EXPECT_EQ(lines[3].section('\t', 10, 10),
              "1"); // 3/2 = 1.5; MOD rounds 0.5 to 0, so ((1.5 − 1) MOD 6) + 1 = 1
    // The summary line on stderr, over the two valid formulas: one of two below 0.05 happens by luck
    // one time in ten, not clearly more than luck gives.
    auto mean = [&](int column) {
        return (lines[1].section('\t', column, column).toDouble() +
                lines[3].section('\t', column, column).toDouble()) /
               2;
    };
    EXPECT_EQ(r.err.trimmed(), QStringLiteral("本类 2 条公式：平均正确率 %1%，机会率 %2%；p<0.05 的有 1 条，"
                                              "纯属运气时约有 0.1 条，与随机无明显差别")
                                   .arg(mean(3), 0, 'f', 2)
                                   .arg(mean(13), 0, 'f', 2));
    r = runCli(dir.path(), {"backtest", "--sense", "keep", "--lookback", "0", "--weighted", "false"});
    EXPECT_EQ(rows(r.out)[1],
              "1\t1\t3\t66.6667\t2\t3\t1\t2\t0\t2\t3\t2\t3\t16.6667\t50.0000\t2.324\t0.010068\t");
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

TEST(CliBacktest, EquivalentFormulasAndDedupe)
{
    TempDataFolder dir;
    addHistory(dir.path(), {{"160121001", "111"},
                            {"160121002", "125"},
                            {"160121003", "133"},
                            {"160121004", "143"},
                            {"160121005", "356"}});
    // 1 and 3 predict alike on every draw (the sum is never 0), so do 2 and 5; 4 differs.
    for (const char* code : {"L1A+LT+3", "L3A", "LT+L1A+9", "L2A", "L3A+6"})
        ASSERT_EQ(runCli(dir.path(), {"formula", "add", code}).exitCode, 0);
    ASSERT_EQ(runCli(dir.path(), {"formula", "add", "--sense", "keep", "L3A+12"}).exitCode, 0);
    CliResult r = runCli(dir.path(), {"backtest"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    QStringList equivalentTo;
    for (const QString& line : rows(r.out).mid(1))
        equivalentTo << line.section('\t', 17, 17);
    EXPECT_EQ(equivalentTo, (QStringList{"", "", "1", "", "2"}));

    // Listing without --yes deletes nothing; the keep formula has no equal among the keep formulas.
    r = runCli(dir.path(), {"formula", "dedupe"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, "sense\tkept_idx\tkept_gongshi\tequivalent_idx\tequivalent_gongshi\n"
                     "kill\t1\tL1A+LT+3\t3\tLT+L1A+9\n"
                     "kill\t2\tL3A\t5\tL3A+6\n");
    EXPECT_TRUE(r.err.contains("groups 2 equivalents 2\n")) << r.err.toStdString();
    EXPECT_EQ(rows(runCli(dir.path(), {"formula", "list", "--sense", "all"}).out).size(), 7);
    // With --yes: deleted in one go, the rest renumbered 1..n with the keep formula after them.
    r = runCli(dir.path(), {"formula", "dedupe", "--sense", "all", "--yes"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.err.endsWith("groups 2 equivalents 2\ndeleted 2\n")) << r.err.toStdString();
    EXPECT_EQ(r.out.count('\n'), 3);
    QStringList listed = rows(runCli(dir.path(), {"formula", "list", "--sense", "all"}).out);
    ASSERT_EQ(listed.size(), 5);
    EXPECT_TRUE(listed[1].startsWith("1\tkill\tL1A+LT+3\t"));
    EXPECT_TRUE(listed[2].startsWith("2\tkill\tL3A\t"));
    EXPECT_TRUE(listed[3].startsWith("3\tkill\tL2A\t"));
    EXPECT_TRUE(listed[4].startsWith("4\tkeep\tL3A+12\t"));
    r = runCli(dir.path(), {"formula", "dedupe", "--yes"});
    EXPECT_EQ(r.out, "sense\tkept_idx\tkept_gongshi\tequivalent_idx\tequivalent_gongshi\n");
    EXPECT_TRUE(r.err.contains("groups 0 equivalents 0")) << r.err.toStdString();
    EXPECT_EQ(runCli(dir.path(), {"formula", "dedupe", "--kind", "1G"}).exitCode, 2);
    EXPECT_EQ(runCli(dir.path(), {"formula", "dedupe", "extra"}).exitCode, 2);
}
