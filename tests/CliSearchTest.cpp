#include "CliRunner.h"
#include "SearchTestSupport.h"
#include "TestSupport.h"

#include "backtest/FormulaEquivalence.h"
#include "formula/FormulaTableStore.h"
#include "history/HistoryColumns.h"
#include "history/Workspace.h"
#include "search/SearchSettings.h"
#include "store/BackupFolder.h"
#include "store/Settings.h"

#include <QRegularExpression>
#include <QSettings>
#include <gtest/gtest.h>
#include <set>

namespace {

const QString kHeader =
    QStringLiteral("gongshi\tgongshiCN\trate\tmax_miss_run\tmax_hit_run\tfinal_miss_run\tfinal_hit_run\t"
                   "chance_rate\texcess\tz\tp");

class CliSearch : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Pelq"), QStringLiteral("Pelq"))
            .clear();
        Workspace ws;
        QString error;
        ASSERT_TRUE(ws.open(m_dir.path(), &error)) << error.toStdString();
        storeDraws(ws, searchTestDraws(400, 8));
    }
    CliResult run(const QStringList& args) { return runCli(m_dir.path(), args); }
    std::vector<FormulaRecord> table(FormulaKind kind)
    {
        Workspace ws;
        QString error;
        EXPECT_TRUE(ws.open(m_dir.path(), &error));
        std::vector<FormulaRecord> out;
        EXPECT_TRUE(FormulaTableStore(&ws.database()).loadTable(kind, &out, &error));
        return out;
    }

    TempDataFolder m_dir;
};

// The rows after the header: the table is all the standard output holds.
QStringList rows(const CliResult& r)
{
    QStringList lines = r.out.split('\n', Qt::SkipEmptyParts);
    EXPECT_GE(lines.size(), 1);
    EXPECT_EQ(lines.first(), kHeader);
    return lines.mid(1);
}

// "tried T qualified Q seconds S", on the standard error.
QString closingLine(const CliResult& r)
{
    const QStringList lines = r.err.split('\n', Qt::SkipEmptyParts).filter(QRegularExpression("^tried "));
    EXPECT_EQ(lines.size(), 1) << r.err.toStdString();
    return lines.isEmpty() ? QString() : lines.first();
}

} // namespace

TEST_F(CliSearch, PrintsQualifiedCandidatesReproduciblyForAnySeedAndThreadCount)
{
    const QStringList args{"search",     "--kind",   "2G",
                           "--tries",    "3000",     "--seed",
                           "77",         "--ranges", "80,100,0,32768,0,32768,0,32768,0,32768",
                           "--operands", "5"};
    const CliResult one = run(args + QStringList{"--threads", "1"});
    ASSERT_EQ(one.exitCode, 0) << one.err.toStdString();
    const CliResult two = run(args + QStringList{"--threads", "2"});
    ASSERT_EQ(two.exitCode, 0) << two.err.toStdString();
    const QStringList found = rows(one);
    EXPECT_EQ(rows(two), found);
    ASSERT_FALSE(found.isEmpty());
    EXPECT_TRUE(
        closingLine(one).startsWith(QStringLiteral("tried 3000 qualified %1 seconds ").arg(found.size())));
    const QStringList fields = found.first().split('\t');
    ASSERT_EQ(fields.size(), 11);
    EXPECT_EQ(fields[0].count('+'), 5);
    EXPECT_TRUE(fields[1].startsWith(QStringLiteral("[十位通选杀]")));
    EXPECT_GE(fields[2].toDouble(), 80.0);
}

TEST_F(CliSearch, TargetStopsAtExactlyThatManyAndSaveWritesTheTable)
{
    const CliResult r = run({"search", "--sense", "keep", "--target", "4", "--ranges",
                             "0,100,0,32768,0,32768,0,32768,0,32768", "--tail", "random", "--form", "next",
                             "--save", "append", "--seed", "3"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QStringList found = rows(r);
    ASSERT_EQ(found.size(), 4);
    EXPECT_TRUE(closingLine(r).startsWith("tried 4 qualified 4 "));
    EXPECT_TRUE(found[0].split('\t')[1].endsWith(QStringLiteral("=下期生个位单选")));
    const auto stored = table(FormulaKind{1, true});
    ASSERT_EQ(stored.size(), 4u);
    EXPECT_FALSE(stored[0].bolKill);
    EXPECT_EQ(stored[0].gongshi, found[0].split('\t')[0]);
}

TEST_F(CliSearch, RefusesATailOutsideSixteenBitsAndBadOptions)
{
    CliResult r = run({"search", "--tail", "40000"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(r.err.contains(QStringLiteral("超出范围")));
    EXPECT_TRUE(r.out.isEmpty());
    EXPECT_EQ(run({"search", "--ranges", "1,2,3"}).exitCode, 2);
    EXPECT_EQ(run({"search", "--operands", "25"}).exitCode, 2);
    EXPECT_EQ(run({"search", "--form", "round"}).exitCode, 2);
    EXPECT_EQ(run({"scheme", "--targets", "1,2,3,4"}).exitCode, 2);
    EXPECT_EQ(run({"scheme", "--mode", "all"}).exitCode, 2);
}

TEST_F(CliSearch, SchemeSearchesTheKindsInOrderWithTheirStoredRanges)
{
    {
        Settings settings;
        SearchSettings search(&settings);
        for (int k : {0, 1, 2, 4, 5})
            search.saveRanges(k, true, {"0", "100", "0", "32768", "0", "32768", "0", "32768", "0", "32768"});
        search.saveOperandCount(5, 3);
    }
    const CliResult r = run({"scheme", "--targets", "2,1,0,2,1", "--seed", "9", "--save", "update"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QStringList found = rows(r);
    QStringList prefixes;
    for (const QString& row : found)
        prefixes << row.split('\t')[1].left(7);
    EXPECT_EQ(prefixes, (QStringList{"[个位单选杀]", "[个位单选杀]", "[十位单选杀]", "[百位单选杀]",
                                     "[十位通选杀]", "[十位通选杀]", "[百位通选杀]"}));
    EXPECT_EQ(found[4].split('\t')[0].count('+'), 3); // 十位通选 uses its stored operand count
    EXPECT_TRUE(closingLine(r).startsWith("tried 7 qualified 7 "));
    EXPECT_EQ(table(FormulaKind{2, false}).size(), 2u);

    // Held mode: 2G already holds 2, so only the other kinds search.
    const CliResult held = run({"scheme", "--targets", "0,0,0,2,0", "--mode", "keep", "--seed", "1"});
    ASSERT_EQ(held.exitCode, 0);
    EXPECT_TRUE(rows(held).isEmpty());
    EXPECT_TRUE(closingLine(held).startsWith("tried 0 qualified 0 "));
}

// --save update deletes the stored formulas of every kind searched: refused without --yes (exit 2,
// before any search) naming each kind that would lose some and its count; with --yes it runs and
// keeps a backup first.
TEST_F(CliSearch, SchemeUpdateAsksForYesNamingTheKindsAndCounts)
{
    {
        Workspace ws;
        QString error;
        ASSERT_TRUE(ws.open(m_dir.path(), &error));
        addFormulas(ws, FormulaKind{1, true}, true, {"L1A+1", "L2A+2"}, QString());
        addFormulas(ws, FormulaKind{1, true}, false, {"L3A"}, QString());
        addFormulas(ws, FormulaKind{2, false}, true, {"L2A+L3A", "LH"}, QString());
        Settings settings;
        SearchSettings search(&settings);
        for (int k : {0, 1, 2, 4, 5})
            search.saveRanges(k, true, {"0", "100", "0", "32768", "0", "32768", "0", "32768", "0", "32768"});
    }
    const QStringList args{"scheme", "--targets", "2,0,0,3,0", "--seed", "4", "--save", "update"};
    CliResult r = run(args);
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(r.out.isEmpty());
    EXPECT_TRUE(r.err.contains(QStringLiteral("个位单选：将删除已有的 3 条公式（生码和杀码）\n"
                                              "十位通选：将删除已有的 2 条公式（生码和杀码）\n")))
        << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("（确认请加 --yes）")));
    EXPECT_FALSE(r.err.contains(QStringLiteral("试了"))); // no kind was searched
    EXPECT_EQ(table(FormulaKind{1, true}).size(), 3u);
    EXPECT_EQ(table(FormulaKind{2, false}).size(), 2u);
    // Held counts: 个位单选 already holds its 2, so only 十位通选 is searched and named.
    r = run({"scheme", "--targets", "2,0,0,3,0", "--mode", "keep", "--save", "update"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_FALSE(r.err.contains(QStringLiteral("个位单选：")));
    EXPECT_TRUE(r.err.contains(QStringLiteral("十位通选：将删除已有的 2 条公式（生码和杀码）")));
    // Appending loses nothing and needs no --yes (here every kind is full: nothing searched).
    EXPECT_EQ(run({"scheme", "--targets", "2,0,0,2,0", "--mode", "keep", "--save", "append"}).exitCode, 0);
    EXPECT_TRUE(BackupFolder(m_dir.path()).list().empty());

    r = run(args + QStringList{"--yes"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const auto units = table(FormulaKind{1, true});
    ASSERT_FALSE(units.empty());
    EXPECT_LE(units.size(), 2u);
    for (const FormulaRecord& f : units)
        EXPECT_TRUE(f.bolKill);
    const std::vector<BackupInfo> backups = BackupFolder(m_dir.path()).list();
    ASSERT_EQ(backups.size(), 1u);
    EXPECT_EQ(backups.front().operation, QStringLiteral("公式更新到数据库"));
}

// The stored default ranges (正确率 from 94.6, 86 or 80 up to 100 among them) admit no formula
// here: each kind stops at its limit of tries and the message names the ranges no candidate fell
// in, and only those; the progress goes to stderr.
TEST_F(CliSearch, SchemeStopsAKindAtItsTriesAndNamesTheRangesThatQualifyNone)
{
    const CliResult r =
        run({"scheme", "--targets", "5,5,5,5,5", "--seed", "7", "--tries", "700", "--threads", "2"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(rows(r).isEmpty());
    EXPECT_TRUE(closingLine(r).startsWith("tried 3500 qualified 0 ")) << closingLine(r).toStdString();
    // stderr also carries the order line before and the summary after the kinds' lines.
    QStringList lines = r.err.split('\n', Qt::SkipEmptyParts);
    lines.removeIf([](const QString& l) { return !l.contains(QStringLiteral("：试了")); });
    ASSERT_EQ(lines.size(), 5) << r.err.toStdString();
    const QStringList kinds{QStringLiteral("个位单选杀"), QStringLiteral("十位单选杀"),
                            QStringLiteral("百位单选杀"), QStringLiteral("十位通选杀"),
                            QStringLiteral("百位通选杀")};
    const QStringList rates{"94.6", "94.6", "94.6", "86", "80"};
    for (int i = 0; i < 5; ++i) {
        EXPECT_TRUE(lines[i].startsWith(kinds[i] + QStringLiteral("：试了700个候选公式，合格0个")))
            << lines[i].toStdString();
        EXPECT_TRUE(
            lines[i].contains(QStringLiteral("没有一个候选公式落在这些范围里：正确率 %1–100").arg(rates[i])))
            << lines[i].toStdString();
        // Most formulas' last prediction holds: 最后连错 0–0 is no range that qualifies none.
        EXPECT_FALSE(lines[i].contains(QStringLiteral("最后连错"))) << lines[i].toStdString();
        EXPECT_TRUE(lines[i].contains("--tries")) << lines[i].toStdString();
    }

    // Kinds that reach their targets say how many they tried; a bad limit is refused.
    {
        Settings settings;
        SearchSettings search(&settings);
        for (int k : {0, 1, 2, 4, 5})
            search.saveRanges(k, true, {"0", "100", "0", "32768", "0", "32768", "0", "32768", "0", "32768"});
    }
    const CliResult wide = run({"scheme", "--targets", "1,1,1,1,1", "--seed", "7"});
    ASSERT_EQ(wide.exitCode, 0) << wide.err.toStdString();
    const QStringList wideLines = wide.err.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(wideLines.size(), 7) << wide.err.toStdString();
    EXPECT_EQ(wideLines[1], QStringLiteral("个位单选杀：试了1个，合格1个"));
    EXPECT_TRUE(wideLines[6].startsWith("tried 5 qualified 5 ")) << wide.err.toStdString();
    for (const char* bad : {"0", "-3", "many"})
        EXPECT_EQ(run({"scheme", "--tries", bad}).exitCode, 2) << bad;
}

TEST_F(CliSearch, ChanceColumnsAndDistinct)
{
    const QStringList args{"search",
                           "--tries",
                           "600",
                           "--operands",
                           "2",
                           "--seed",
                           "5",
                           "--threads",
                           "2",
                           "--ranges",
                           "0,100,0,32768,0,32768,0,32768,0,32768"};
    const CliResult all = run(args);
    ASSERT_EQ(all.exitCode, 0) << all.err.toStdString();
    const QStringList everyOne = rows(all);
    ASSERT_EQ(everyOne.size(), 600);
    for (const QString& row : everyOne.mid(0, 50)) {
        const QStringList f = row.split('\t');
        ASSERT_EQ(f.size(), 11);
        // Kill formulas of 个位单选: chance near 83.33 % (0 and below count as certain).
        EXPECT_GE(f[7].toDouble(), 83.3333 - 1e-4) << row.toStdString();
        EXPECT_NEAR(f[8].toDouble(), f[2].toDouble() - f[7].toDouble(), 2e-4) << row.toStdString();
        EXPECT_GE(f[10].toDouble(), 0.0);
        EXPECT_LE(f[10].toDouble(), 1.0);
        EXPECT_EQ(f[10].section('.', 1).size(), 6);
    }

    // One formula stored: its equivalents and the repeats among the candidates are skipped.
    {
        Workspace ws;
        QString error;
        ASSERT_TRUE(ws.open(m_dir.path(), &error));
        FormulaRecord r;
        r.gongshi = r.gongshiCN = everyOne.first().section('\t', 0, 0);
        ASSERT_TRUE(FormulaTableStore(&ws.database()).append(FormulaKind{1, true}, {r}, &error));
    }
    const CliResult distinct = run(args + QStringList{"--distinct"});
    ASSERT_EQ(distinct.exitCode, 0) << distinct.err.toStdString();
    const QStringList kept = rows(distinct);
    EXPECT_LT(kept.size(), 600);
    EXPECT_TRUE(closingLine(distinct).startsWith(QStringLiteral("tried 600 qualified %1 ").arg(kept.size())));
    Workspace ws;
    QString error;
    ASSERT_TRUE(ws.open(m_dir.path(), &error));
    const HistoryColumns history(ws.history().draws());
    std::set<std::vector<std::uint8_t>> predictions = {
        PredictionTokens::ofFormula(history, CompiledFormula::compile(everyOne.first().section('\t', 0, 0)),
                                    PredictionTokens::Reduction::NumberAndDigit)};
    for (const QString& row : kept)
        EXPECT_TRUE(predictions
                        .insert(PredictionTokens::ofFormula(history,
                                                            CompiledFormula::compile(row.section('\t', 0, 0)),
                                                            PredictionTokens::Reduction::NumberAndDigit))
                        .second)
            << row.toStdString();
    // Every candidate left out repeats the stored formula or a kept one (the stored one is the first
    // of the 600, so the stored and kept predictions are exactly those of the 600).
    std::set<std::vector<std::uint8_t>> all600;
    for (const QString& row : everyOne)
        all600.insert(PredictionTokens::ofFormula(history, CompiledFormula::compile(row.section('\t', 0, 0)),
                                                  PredictionTokens::Reduction::NumberAndDigit));
    EXPECT_EQ(predictions, all600);
}
