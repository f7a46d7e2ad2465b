#include "CliRunner.h"
#include "SyntheticHistory.h"
#include "TestSupport.h"

#include "backtest/PastRanking.h"
#include "backtest/PositionHistory.h"
#include "formula/FormulaTableStore.h"
#include "history/HistoryColumns.h"
#include "history/Workspace.h"

#include <gtest/gtest.h>

namespace {

// Draws with only the three numbers set (百位, 十位, 个位), issues 160121001 onwards.
std::vector<DrawRecord> numbers(const std::vector<std::array<int, 3>>& draws)
{
    return drawsWithNumbers(draws);
}

struct Ranking
{
    std::vector<PastRankingDraw> draws;
    bool ok = false;
    QString error;
};

Ranking rank(const std::vector<DrawRecord>& draws, const std::vector<const char*>& codes, bool kill,
             std::vector<bool> selected = {})
{
    std::vector<CompiledFormula> formulas;
    for (const char* c : codes)
        formulas.push_back(CompiledFormula::compile(QString::fromLatin1(c)));
    if (selected.empty())
        selected.assign(formulas.size(), true);
    Ranking r;
    r.ok = PastRanking::build(draws, HistoryColumns(draws), formulas, selected, kill, &r.draws, &r.error);
    return r;
}

std::array<RankedNumber, 6> ranked(std::initializer_list<std::pair<int, int>> entries)
{
    std::array<RankedNumber, 6> out;
    int i = 0;
    for (const auto& [number, count] : entries)
        out[i++] = {number, count};
    return out;
}

PastRankingDraw made(const char* issue, std::array<int, 3> drawn,
                     std::initializer_list<std::pair<int, int>> entries)
{
    return {QString::fromLatin1(issue), drawn, ranked(entries)};
}

// The example ranking: two numbers without votes, two with 3, one with 5, one with 7.
const std::initializer_list<std::pair<int, int>> kExample = {{4, 0}, {2, 0}, {1, 3}, {6, 3}, {3, 5}, {5, 7}};

} // namespace

// --- The ranking of the selected formulas' votes -------------------------------------------------

TEST(PastRanking, KillVotesCountEachNamedNumber)
{
    const auto draws = numbers({{1, 2, 3}, {4, 5, 6}});
    const Ranking r = rank(draws, {"4", "2+2", "7"}, true); // 4, 4 and 1 (7 − 1 MOD 6 + 1)
    ASSERT_TRUE(r.ok) << r.error.toStdString();
    ASSERT_EQ(r.draws.size(), 2u);
    const auto expected = ranked({{2, 0}, {3, 0}, {5, 0}, {6, 0}, {1, 1}, {4, 2}});
    EXPECT_EQ(r.draws[0].ranking, expected);
    EXPECT_EQ(r.draws[1].ranking, expected);
    EXPECT_EQ(r.draws[1].issue, "160121002");
    EXPECT_EQ(r.draws[1].numbers, (std::array<int, 3>{4, 5, 6}));
}

TEST(PastRanking, KeepVotesFollowTheCoveredRule)
{
    const auto draws = numbers({{1, 2, 3}});
    // 3 and 3 again: 3 is never covered, so it takes its vote back both times.
    EXPECT_EQ(rank(draws, {"3", "3"}, false).draws[0].ranking,
              ranked({{3, 0}, {1, 2}, {2, 2}, {4, 2}, {5, 2}, {6, 2}}));
    // 3 then 5: 5 is covered by the first, so the second adds to all six.
    EXPECT_EQ(rank(draws, {"3", "5"}, false).draws[0].ranking,
              ranked({{3, 1}, {1, 2}, {2, 2}, {4, 2}, {5, 2}, {6, 2}}));
    // 3, 3, 5: after the two 3s every number but 3 is covered.
    EXPECT_EQ(rank(draws, {"3", "3", "5"}, false).draws[0].ranking,
              ranked({{3, 1}, {1, 3}, {2, 3}, {4, 3}, {5, 3}, {6, 3}}));
    // The order counts: 5, 3, 3 covers everything after the second formula.
    EXPECT_EQ(rank(draws, {"5", "3", "3"}, false).draws[0].ranking,
              ranked({{5, 2}, {1, 3}, {2, 3}, {3, 3}, {4, 3}, {6, 3}}));
}

TEST(PastRanking, UnselectedInvalidAndValuelessFormulasCastNoVote)
{
    const auto draws = numbers({{1, 2, 3}});
    const auto expected = ranked({{2, 0}, {3, 0}, {5, 0}, {6, 0}, {1, 1}, {4, 2}});
    EXPECT_EQ(rank(draws, {"4", "5", "4", "1"}, true, {true, false, true, true}).draws[0].ranking, expected);
    // An invalid formula and one divided by zero (LT is 0 here) have no value on the draw.
    EXPECT_EQ(rank(draws, {"4", "XYZ+1", "1/LT", "4", "1"}, true).draws[0].ranking, expected);
    EXPECT_EQ(rank(draws, {"3", "1/LT", "3"}, false).draws[0].ranking,
              ranked({{3, 0}, {1, 2}, {2, 2}, {4, 2}, {5, 2}, {6, 2}}));
}

TEST(PastRanking, PredictionsOffTheBoard)
{
    const auto draws = numbers({{1, 2, 3}});
    // 0 and -3 predict 0 and -3: no number to kill; a keep vote for them adds to all six.
    EXPECT_EQ(rank(draws, {"0", "0-3"}, true).draws[0].ranking,
              ranked({{1, 0}, {2, 0}, {3, 0}, {4, 0}, {5, 0}, {6, 0}}));
    EXPECT_EQ(rank(draws, {"2", "0"}, false).draws[0].ranking,
              ranked({{2, 1}, {1, 2}, {3, 2}, {4, 2}, {5, 2}, {6, 2}}));
    // 0 covers all six, so a keep vote for 2 after it cannot take anything back.
    EXPECT_EQ(rank(draws, {"0", "2"}, false).draws[0].ranking,
              ranked({{1, 2}, {2, 2}, {3, 2}, {4, 2}, {5, 2}, {6, 2}}));
}

TEST(PastRanking, EachDrawCountsTheValuesOnItselfAcrossBlocks)
{
    std::vector<std::array<int, 3>> n;
    for (int i = 0; i < 600; ++i)
        n.push_back({i % 6 + 1, 1, 1});
    const auto draws = numbers(n);
    // L1A + 1 names the number after the draw's own 百位 (6 -> 1).
    const Ranking r = rank(draws, {"L1A+1"}, true);
    ASSERT_EQ(r.draws.size(), 600u);
    for (int i : {0, 5, 255, 256, 257, 511, 512, 599}) {
        const int named = (i % 6 + 1) % 6 + 1;
        EXPECT_EQ(r.draws[i].ranking[5], (RankedNumber{named, 1})) << "draw " << i;
        EXPECT_EQ(r.draws[i].ranking[0].count, 0);
        EXPECT_EQ(r.draws[i].issue, QString::number(160121001 + i));
    }
}

TEST(PastRanking, ProgressCancelAndMismatch)
{
    const auto draws = numbers(std::vector<std::array<int, 3>>(700, {1, 2, 3}));
    const HistoryColumns history(draws);
    const std::vector<CompiledFormula> formulas{CompiledFormula::compile("4")};
    std::vector<PastRankingDraw> out;
    QString error;
    int lastDone = -1, lastTotal = -1;
    ASSERT_TRUE(
        PastRanking::build(draws, history, formulas, {true}, true, &out, &error, [&](int done, int total) {
            EXPECT_GT(done, lastDone);
            lastDone = done;
            lastTotal = total;
        }));
    EXPECT_EQ(lastDone, 700);
    EXPECT_EQ(lastTotal, 700);

    std::atomic<bool> cancel{true};
    EXPECT_FALSE(PastRanking::build(draws, history, formulas, {true}, true, &out, &error, {}, &cancel));
    EXPECT_TRUE(out.empty());
    EXPECT_FALSE(error.isEmpty());

    error.clear();
    EXPECT_FALSE(PastRanking::build(numbers({{1, 1, 1}}), history, formulas, {true}, true, &out, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(PastRanking::build(draws, history, formulas, {}, true, &out, &error));
}

// --- The rows of "历史开奖列表" -----------------------------------------------------------------

TEST(PositionHistory, LevelsRanksAndCountColumnsOfTheExample)
{
    // Drawn 1 at 个位 (单选) against the example ranking.
    const PositionHistory h = PositionHistory::build(
        {made("160121001", {2, 2, 2}, kExample), made("160121002", {5, 6, 1}, {})}, 1, true);
    ASSERT_EQ(h.rowCount(), 1);
    EXPECT_EQ(h.text(0, PositionHistory::IssueColumn), "160121002");
    EXPECT_EQ(h.text(0, PositionHistory::DrawnColumn), "1");
    EXPECT_EQ(h.text(0, PositionHistory::RanksColumn), "3");
    EXPECT_EQ(h.text(0, PositionHistory::ErrColumn), "3");
    EXPECT_EQ(h.text(0, PositionHistory::TotalLevelsColumn), "4");
    EXPECT_EQ(h.text(0, PositionHistory::LevelColumn), "2");
    EXPECT_EQ(h.text(0, PositionHistory::LevelSizeColumn), "2");
    // 排列1..10 and Err值1..10: six entries, four empty slots.
    const QStringList numbersShown{"4", "2", "1", "6", "3", "5", "", "", "", ""};
    const QStringList countsShown{"0", "0", "3", "3", "5", "7", "", "", "", ""};
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(h.text(0, PositionHistory::FirstNumberColumn + i), numbersShown[i]);
        EXPECT_EQ(h.text(0, PositionHistory::FirstCountColumn + i), countsShown[i]);
        EXPECT_EQ(h.isMarked(0, PositionHistory::FirstNumberColumn + i), i == 2);
        EXPECT_EQ(h.isMarked(0, PositionHistory::FirstCountColumn + i), i == 2);
    }
    // Count columns 0次 .. 7次.
    ASSERT_EQ(h.columnCount(), 27 + 8);
    EXPECT_EQ(h.smallestCount(), 0);
    EXPECT_EQ(h.largestCount(), 7);
    const QStringList headers{"0次", "1次", "2次", "3次", "4次", "5次", "6次", "7次"};
    const QStringList cells{"04 02 ", "", "", "01 06 ", "", "03 ", "", "05 "};
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(h.header(27 + i), headers[i]);
        EXPECT_EQ(h.text(0, 27 + i), cells[i]);
        EXPECT_FALSE(h.isMarked(0, 27 + i));
    }
    EXPECT_EQ(h.header(0), "期号");
    EXPECT_EQ(h.header(6), "位码数");
    EXPECT_EQ(h.header(7), "排列1");
    EXPECT_EQ(h.header(16), "排列10");
    EXPECT_EQ(h.header(17), "Err值1");
    EXPECT_EQ(h.header(26), "Err值10");
}

TEST(PositionHistory, AllCountsEqualMakeOneLevel)
{
    const auto zero = {std::pair{1, 0}, {2, 0}, {3, 0}, {4, 0}, {5, 0}, {6, 0}};
    for (int drawn = 1; drawn <= 6; ++drawn) {
        for (int position = 1; position <= 3; ++position) {
            std::array<int, 3> numbers{1, 1, 1};
            numbers[3 - position] = drawn;
            const PositionHistory h = PositionHistory::build(
                {made("1", {1, 1, 1}, zero), made("2", numbers, zero)}, position, true);
            ASSERT_EQ(h.rowCount(), 1);
            EXPECT_EQ(h.text(0, PositionHistory::TotalLevelsColumn), "1");
            EXPECT_EQ(h.text(0, PositionHistory::LevelColumn), "1");
            EXPECT_EQ(h.text(0, PositionHistory::LevelSizeColumn), "6");
            EXPECT_EQ(h.text(0, PositionHistory::RanksColumn), QString::number(drawn));
            ASSERT_EQ(h.columnCount(), 28);
            EXPECT_EQ(h.text(0, 27), "01 02 03 04 05 06 ");
        }
    }
}

TEST(PositionHistory, GeneralSelectionShowsLaterPositionsAndMarksEveryMatch)
{
    // 通选 at 十位: 百位 2 is not shown; 十位 5 and 个位 3 are, both marked; 位次 follows 十位 only.
    const PositionHistory h =
        PositionHistory::build({made("1", {1, 1, 1}, kExample), made("2", {2, 5, 3}, {})}, 2, false);
    EXPECT_EQ(h.text(0, PositionHistory::DrawnColumn), "5 3 ");
    EXPECT_EQ(h.text(0, PositionHistory::RanksColumn), "5 6 ");
    EXPECT_EQ(h.text(0, PositionHistory::ErrColumn), "7"); // the last match: 5 with 7 votes
    EXPECT_EQ(h.text(0, PositionHistory::LevelColumn), "4");
    EXPECT_EQ(h.text(0, PositionHistory::LevelSizeColumn), "1");
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(h.isMarked(0, PositionHistory::FirstNumberColumn + i), i == 4 || i == 5) << i;

    // 通选 at 百位 lists all three, a repeated number once per position but marked once.
    const PositionHistory all =
        PositionHistory::build({made("1", {1, 1, 1}, kExample), made("2", {3, 3, 4}, {})}, 3, false);
    EXPECT_EQ(all.text(0, PositionHistory::DrawnColumn), "3 3 4 ");
    EXPECT_EQ(all.text(0, PositionHistory::RanksColumn), "1 5 ");
    EXPECT_EQ(all.text(0, PositionHistory::ErrColumn), "5");
    EXPECT_EQ(all.text(0, PositionHistory::LevelColumn), "3"); // 百位 3: count 5 is the third level
    EXPECT_EQ(all.text(0, PositionHistory::LevelSizeColumn), "1");

    // 单选 at 十位 of the same draw: only the 十位 number.
    const PositionHistory single =
        PositionHistory::build({made("1", {1, 1, 1}, kExample), made("2", {2, 5, 3}, {})}, 2, true);
    EXPECT_EQ(single.text(0, PositionHistory::DrawnColumn), "5");
    EXPECT_EQ(single.text(0, PositionHistory::RanksColumn), "6");
}

TEST(PositionHistory, RowsPairEachRankingWithTheFollowingDraw)
{
    const PositionHistory h = PositionHistory::build(
        {made("160121001", {1, 1, 6}, {{1, 2}, {2, 3}, {3, 4}, {4, 5}, {5, 5}, {6, 5}}),
         made("160121002", {1, 1, 2}, {{1, 0}, {2, 0}, {3, 1}, {4, 1}, {5, 2}, {6, 3}}),
         made("160121003", {1, 1, 5}, {{6, 9}, {5, 9}, {4, 9}, {3, 9}, {2, 9}, {1, 9}})},
        1, true);
    ASSERT_EQ(h.rowCount(), 2); // the newest draw has no following draw
    EXPECT_EQ(h.text(0, 0), "160121002");
    EXPECT_EQ(h.text(0, 1), "2");
    EXPECT_EQ(h.text(0, PositionHistory::RanksColumn), "2");
    EXPECT_EQ(h.text(0, PositionHistory::LevelColumn), "2");
    EXPECT_EQ(h.text(0, PositionHistory::LevelSizeColumn), "1");
    EXPECT_EQ(h.text(0, PositionHistory::TotalLevelsColumn), "4");
    EXPECT_EQ(h.text(1, 0), "160121003");
    EXPECT_EQ(h.text(1, PositionHistory::RanksColumn), "5");
    EXPECT_EQ(h.text(1, PositionHistory::LevelColumn), "3");
    EXPECT_EQ(h.text(1, PositionHistory::LevelSizeColumn), "1");
    // Counts met run from 0 to 5 (the newest draw's 9 votes are never shown).
    EXPECT_EQ(h.smallestCount(), 0);
    EXPECT_EQ(h.largestCount(), 5);
    EXPECT_EQ(h.columnCount(), 27 + 6);
    EXPECT_EQ(h.text(0, 27), "");
    EXPECT_EQ(h.text(0, 27 + 5), "04 05 06 ");
    EXPECT_EQ(h.text(1, 27), "01 02 ");

    const QStringList tsv = h.toTsv().split('\n');
    ASSERT_EQ(tsv.size(), 4); // header, two rows, the empty rest after the last line end
    EXPECT_EQ(tsv[0].split('\t').size(), 33);
    EXPECT_TRUE(
        tsv[0].startsWith(QStringLiteral("期号\t开奖结果\t排位名次\tErr值\t总位次\t位次\t位码数\t排列1\t")));
    EXPECT_TRUE(tsv[0].endsWith(QStringLiteral("Err值10\t0次\t1次\t2次\t3次\t4次\t5次")));
    EXPECT_EQ(tsv[1].split('\t').size(), 33);
    EXPECT_TRUE(
        tsv[1].startsWith("160121002\t2\t2\t3\t4\t2\t1\t1\t2\t3\t4\t5\t6\t\t\t\t\t2\t3\t4\t5\t5\t5\t"));
}

TEST(PositionHistory, NoRowsWithoutAFollowingDraw)
{
    for (const auto& ranking :
         {std::vector<PastRankingDraw>{}, std::vector<PastRankingDraw>{made("1", {1, 2, 3}, kExample)}}) {
        const PositionHistory h = PositionHistory::build(ranking, 1, true);
        EXPECT_EQ(h.rowCount(), 0);
        EXPECT_EQ(h.columnCount(), 27);
        EXPECT_EQ(h.toTsv().count('\n'), 1);
    }
}

// --- pastrank ------------------------------------------------------------------------------------

TEST(CliPastRank, PrintsTheRowsOfTheKindAndPosition)
{
    TempDataFolder dir;
    {
        Workspace ws;
        QString error;
        ASSERT_TRUE(ws.open(dir.path(), &error)) << error.toStdString();
        addDraws(ws, {{"160121001", "123"}, {"160121002", "456"}, {"160121003", "162"}});
        auto record = [](const char* code, bool kill) {
            FormulaRecord r;
            r.gongshi = r.gongshiCN = QString::fromLatin1(code);
            r.bolKill = kill;
            return r;
        };
        // 十位通选: two kill formulas naming 4 and 1 on every draw, one keep formula that is ignored.
        ASSERT_TRUE(FormulaTableStore(&ws.database())
                        .append(FormulaKind{2, false},
                                {record("4", true), record("7", true), record("3", false)}, &error))
            << error.toStdString();
    }
    CliResult r = runCli(dir.path(), {"pastrank", "--kind", "2G"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    QStringList lines = r.out.split('\n');
    ASSERT_EQ(lines.size(), 4);
    EXPECT_TRUE(lines[0].endsWith(QStringLiteral("Err值10\t0次\t1次")));
    // Draw 2 (4 5 6) against the ranking of draw 1: 十位 5 and 个位 6 are both without votes.
    EXPECT_TRUE(lines[1].startsWith(QStringLiteral("160121002\t5 6 \t3 4 \t0\t2\t1\t4\t2\t3\t5\t6\t1\t4\t")))
        << lines[1].toStdString();
    EXPECT_TRUE(lines[1].endsWith(QStringLiteral("\t02 03 05 06 \t01 04 ")));
    // Draw 3 (1 6 2) at 百位 通选 (--position 3): 1 has a vote, so it ranks fifth.
    r = runCli(dir.path(), {"pastrank", "--kind", "2G", "--position", "3"});
    lines = r.out.split('\n');
    ASSERT_EQ(lines.size(), 4);
    EXPECT_TRUE(lines[2].startsWith(QStringLiteral("160121003\t1 6 2 \t1 4 5 \t1\t2\t2\t2\t")))
        << lines[2].toStdString();
    // The keep subset: one formula naming 3.
    r = runCli(dir.path(), {"pastrank", "--kind", "2G", "--sense", "keep"});
    lines = r.out.split('\n');
    EXPECT_TRUE(lines[0].endsWith(QStringLiteral("Err值10\t0次\t1次")));
    EXPECT_TRUE(lines[1].endsWith(QStringLiteral("\t03 \t01 02 04 05 06 ")));

    EXPECT_EQ(runCli(dir.path(), {"pastrank", "--position", "4"}).exitCode, 2);
    EXPECT_EQ(runCli(dir.path(), {"pastrank", "--kind", "1G"}).exitCode, 2);
    EXPECT_EQ(runCli(dir.path(), {"pastrank", "extra"}).exitCode, 2);
}
