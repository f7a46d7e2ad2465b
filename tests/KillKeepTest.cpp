#include "TestSupport.h"

#include "killkeep/RankingBuilder.h"
#include "killkeep/VoteTally.h"

#include <QFile>
#include <gtest/gtest.h>

namespace {

// A general-selection tally finished for a sense, with votes[n - 1] votes for number n.
VoteTally generalTally(std::initializer_list<int> votes, bool kill)
{
    VoteTally t;
    int number = 1;
    for (int v : votes) {
        for (int i = 0; i < v; ++i)
            t.vote(VoteTally::kGeneralPosition, number);
        ++number;
    }
    if (!kill)
        t.moveKillToKeep(VoteTally::kGeneralPosition);
    return t;
}

RankingBuilder generalRanking(std::initializer_list<int> votes, bool kill)
{
    return RankingBuilder(RankingBuilder::entriesOf(generalTally(votes, kill), VoteTally::kGeneralPosition),
                          kill);
}

std::vector<int> numbers(const RankingBuilder& r)
{
    std::vector<int> out;
    for (const RankingRow& row : r.rows())
        out.push_back(row.entry.number);
    return out;
}

QStringList verdicts(const RankingBuilder& r)
{
    QStringList out;
    for (const RankingRow& row : r.rows())
        out << row.verdict();
    return out;
}

const std::initializer_list<int> kExampleVotes = {0, 3, 0, 1, 3, 0};

} // namespace

TEST(VoteTally, VotesCountOnlyForCellsThatExist)
{
    VoteTally t;
    EXPECT_TRUE(t.vote(0, 1));
    EXPECT_TRUE(t.vote(0, 6));
    EXPECT_FALSE(t.vote(0, 0));
    EXPECT_FALSE(t.vote(0, 7));
    EXPECT_TRUE(t.vote(1, 0));
    EXPECT_TRUE(t.vote(3, 9));
    EXPECT_FALSE(t.vote(2, 10));
    EXPECT_FALSE(t.vote(2, -1));
    EXPECT_FALSE(t.vote(4, 1));
    EXPECT_EQ(t.cell(0, 1), (VoteTally::Cell{1, 1, 0}));
    EXPECT_EQ(t.cell(1, 0), (VoteTally::Cell{1, 1, 0}));
    EXPECT_EQ(t.cell(3, 9), (VoteTally::Cell{1, 1, 0}));
    EXPECT_EQ(t.cell(2, 0), VoteTally::Cell{});
    // A digit cell and a general number cell are different cells.
    EXPECT_EQ(t.cell(1, 1), VoteTally::Cell{});
    EXPECT_EQ(t.cell(0, 0), VoteTally::Cell{});
}

TEST(VoteTally, KeepSenseMovesKillVotesOfOnePosition)
{
    VoteTally t;
    t.vote(1, 4);
    t.vote(1, 4);
    t.vote(2, 4);
    t.moveKillToKeep(1);
    EXPECT_EQ(t.cell(1, 4), (VoteTally::Cell{2, 0, 2}));
    EXPECT_EQ(t.cell(2, 4), (VoteTally::Cell{1, 1, 0}));

    t.clearPosition(1);
    EXPECT_EQ(t.cell(1, 4), VoteTally::Cell{});
    EXPECT_EQ(t.cell(2, 4), (VoteTally::Cell{1, 1, 0}));
    t.clear();
    EXPECT_EQ(t, VoteTally{});
}

TEST(RankingBuilder, KillSenseRanksUnnamedNumbersFirst)
{
    const RankingBuilder r = generalRanking(kExampleVotes, true);
    EXPECT_EQ(numbers(r), (std::vector<int>{1, 3, 6, 4, 2, 5}));
    EXPECT_EQ(verdicts(r), (QStringList{"保留", "保留", "保留", "滤杀", "滤杀", "滤杀"}));
    EXPECT_EQ(r.rows()[3].rank, 4);
    EXPECT_EQ(r.rows()[4].entry, (RankingEntry{2, 3, 3, 0}));
    EXPECT_EQ(r.distribution(),
              (std::vector<DistributionRow>{{0, 3, "1 3 6 "}, {1, 1, "4 "}, {3, 2, "2 5 "}}));
    EXPECT_FALSE(r.sortFlag());
    EXPECT_EQ(r.headers()[2], QStringLiteral("杀留Err值"));
}

TEST(RankingBuilder, KeepSenseRanksMostWantedNumbersFirst)
{
    const RankingBuilder r = generalRanking(kExampleVotes, false);
    EXPECT_EQ(numbers(r), (std::vector<int>{2, 5, 4, 1, 3, 6}));
    EXPECT_EQ(verdicts(r), (QStringList{"保留", "保留", "保留", "滤杀", "滤杀", "滤杀"}));
    EXPECT_EQ(r.rows()[0].entry, (RankingEntry{2, 3, 0, 3}));
    EXPECT_EQ(r.distribution(),
              (std::vector<DistributionRow>{{3, 2, "2 5 "}, {1, 1, "4 "}, {0, 3, "1 3 6 "}}));
}

TEST(RankingBuilder, DoubleClickDirectionsFollowSenseAndFlag)
{
    RankingBuilder kill = generalRanking(kExampleVotes, true);
    const auto distribution = kill.distribution();
    kill.resortByColumn(RankingBuilder::NumberColumn);
    EXPECT_TRUE(kill.sortFlag());
    EXPECT_EQ(numbers(kill), (std::vector<int>{6, 5, 4, 3, 2, 1}));
    EXPECT_EQ(kill.rows()[0].rank, 1);
    EXPECT_EQ(kill.headers()[2], QStringLiteral("杀留Err值（公式错误值）"));
    EXPECT_EQ(kill.headers()[4], QStringLiteral("留码Err值（公式错误值）"));
    kill.resortByColumn(RankingBuilder::NumberColumn);
    EXPECT_FALSE(kill.sortFlag());
    EXPECT_EQ(numbers(kill), (std::vector<int>{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(kill.distribution(), distribution);

    RankingBuilder keep = generalRanking(kExampleVotes, false);
    keep.resortByColumn(RankingBuilder::NumberColumn);
    EXPECT_EQ(numbers(keep), (std::vector<int>{6, 5, 4, 3, 2, 1}));
    keep.resortByColumn(RankingBuilder::NumberColumn);
    EXPECT_EQ(numbers(keep), (std::vector<int>{6, 5, 4, 3, 2, 1}));
}

TEST(RankingBuilder, DoubleClickOnVoteColumnsKeepsEqualCountsInNumberOrder)
{
    RankingBuilder r = generalRanking(kExampleVotes, true);
    r.resortByColumn(RankingBuilder::AllColumn); // flag TRUE: most votes first
    EXPECT_EQ(numbers(r), (std::vector<int>{2, 5, 4, 1, 3, 6}));
    r.resortByColumn(RankingBuilder::KeepColumn); // all keep votes 0, ascending: number order
    EXPECT_EQ(numbers(r), (std::vector<int>{1, 2, 3, 4, 5, 6}));
    r.resortByColumn(RankingBuilder::KillColumn);
    EXPECT_EQ(numbers(r), (std::vector<int>{2, 5, 4, 1, 3, 6}));
    // The verdict follows the votes, not the row's place.
    EXPECT_EQ(verdicts(r), (QStringList{"滤杀", "滤杀", "滤杀", "保留", "保留", "保留"}));
}

TEST(RankingBuilder, DoubleClickOutsideTheSortColumnsKeepsTheOrder)
{
    RankingBuilder r = generalRanking(kExampleVotes, true);
    r.resortByColumn(RankingBuilder::NumberColumn);
    const auto before = numbers(r);
    r.resortByColumn(RankingBuilder::VerdictColumn);
    EXPECT_EQ(numbers(r), before);
    EXPECT_FALSE(r.sortFlag());
    r.resortByColumn(RankingBuilder::RankColumn);
    EXPECT_EQ(numbers(r), before);
    EXPECT_TRUE(r.sortFlag());
    // The flag counts every double-click, so the next number sort is ascending.
    r.resortByColumn(RankingBuilder::NumberColumn);
    EXPECT_EQ(numbers(r), (std::vector<int>{1, 2, 3, 4, 5, 6}));
}

TEST(RankingBuilder, NoVotes)
{
    const RankingBuilder kill = generalRanking({0, 0, 0, 0, 0, 0}, true);
    EXPECT_EQ(verdicts(kill), (QStringList{"保留", "保留", "保留", "保留", "保留", "保留"}));
    EXPECT_EQ(kill.distribution(), (std::vector<DistributionRow>{{0, 6, "1 2 3 4 5 6 "}}));

    const RankingBuilder keep(RankingBuilder::entriesOf(VoteTally{}, 2), false);
    ASSERT_EQ(keep.rows().size(), 10u);
    EXPECT_EQ(keep.rows().front().entry.number, 0);
    EXPECT_EQ(keep.rows().back().entry.number, 9);
    for (const RankingRow& row : keep.rows())
        EXPECT_EQ(row.verdict(), QStringLiteral("滤杀"));
    EXPECT_EQ(keep.distribution(), (std::vector<DistributionRow>{{0, 10, "0 1 2 3 4 5 6 7 8 9 "}}));
}

TEST(RankingBuilder, SingleSelectionRanksOnePositionsDigits)
{
    VoteTally t;
    t.vote(1, 7);
    t.vote(2, 3);
    t.vote(2, 3);
    t.vote(2, 0);
    const RankingBuilder tens(RankingBuilder::entriesOf(t, 2), true);
    EXPECT_EQ(numbers(tens), (std::vector<int>{1, 2, 4, 5, 6, 7, 8, 9, 0, 3}));
    EXPECT_EQ(tens.distribution(),
              (std::vector<DistributionRow>{{0, 8, "1 2 4 5 6 7 8 9 "}, {1, 1, "0 "}, {2, 1, "3 "}}));
}

TEST(RankingBuilder, ExportRowsFollowKillVotes)
{
    const RankingBuilder kill = generalRanking(kExampleVotes, true);
    std::vector<std::array<int, 3>> rows;
    for (const RankingExportRow& r : kill.exportRows())
        rows.push_back({r.row, r.number, r.all});
    EXPECT_EQ(rows, (std::vector<std::array<int, 3>>{
                        {1, 1, 0}, {2, 3, 0}, {3, 6, 0}, {4, 4, 1}, {5, 2, 3}, {6, 5, 3}}));

    // Keep votes leave every kill count 0: the sheet lists the numbers in order.
    const RankingBuilder keep = generalRanking(kExampleVotes, false);
    std::vector<int> keepNumbers;
    for (const RankingExportRow& r : keep.exportRows())
        keepNumbers.push_back(r.number);
    EXPECT_EQ(keepNumbers, (std::vector<int>{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(RankingBuilder::exportHeaders(), (QStringList{"排序序号", "号码", "杀留Err值（公式错误值）"}));
}

TEST(RankingBuilder, WritesTheExportWorkbook)
{
    TempDataFolder dir;
    const QString path = dir.file("ErrarrLei.xlsx");
    QString error;
    ASSERT_TRUE(generalRanking(kExampleVotes, true).writeWorkbook(path, &error)) << error.toStdString();
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.read(2), "PK");

    EXPECT_FALSE(
        generalRanking(kExampleVotes, true).writeWorkbook(dir.file("missing/ErrarrLei.xlsx"), &error));
    EXPECT_FALSE(error.isEmpty());
}
