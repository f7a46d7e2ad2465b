#include "history/DrawDeriver.h"
#include "history/IssueNumbers.h"

#include <gtest/gtest.h>

namespace {

DrawRecord derive(const char* issue, std::array<int, 3> n, PreviousDraw prev = {}, int perDay = 78,
                  EntryPath path = EntryPath::Hand)
{
    DrawInput in;
    in.issue = QString::fromLatin1(issue);
    in.numbers = n;
    in.drawsPerDay = perDay;
    in.path = path;
    DrawRecord r;
    QString error;
    EXPECT_TRUE(DrawDeriver::derive(in, prev, &r, &error)) << error.toStdString();
    return r;
}

void expectValues(const DrawRecord& r, std::initializer_list<std::pair<const char*, int>> expected)
{
    for (const auto& [code, value] : expected)
        EXPECT_EQ(r.value(code), value) << code;
}

} // namespace

TEST(DrawDeriver, ThreeThreeFiveAfterOneTwoThree)
{
    const DrawRecord r = derive("160121005", {3, 3, 5}, PreviousDraw{{1, 2, 3}});
    expectValues(r, {{"L1A", 3},   {"L2A", 3},  {"L3A", 5}, {"L1B", 0}, {"L2B", 0}, {"L3B", 1},  {"L1C", 1},
                     {"L3C", 1},   {"L1D", 3},  {"L3D", 0}, {"L1E", 0}, {"L3E", 2}, {"L1F", 2},  {"L3F", 3},
                     {"L1G", 9},   {"L3G", 25}, {"L1I", 4}, {"L3I", 2}, {"L1J", 8}, {"L3J", 32}, {"L1K", 27},
                     {"L3K", 125}, {"L1P", 8},  {"L2P", 8}, {"L3P", 6}, {"L1Q", 2}, {"L2Q", 2},  {"L3Q", 0},
                     {"L1H", 0},   {"L3H", 2},  {"L5H", 1}, {"L1L", 0}, {"L2L", 1}, {"L3L", 2},  {"L1M", 2},
                     {"L2M", 3},   {"L3M", 11}, {"L4M", 0}, {"L5M", 0}, {"LH", 11}, {"LI", 1},   {"LJ", 1},
                     {"LK", 5},    {"LL", 2},   {"LM", 6},  {"LN", 3},  {"LO", 11}, {"LP", 0},   {"LQ", 0},
                     {"LR", 2},    {"LS", 1},   {"LT", 2},  {"LU", 1},  {"LV", 0},  {"LW", 0},   {"LX", 0},
                     {"LY", 2}});
}

TEST(DrawDeriver, NeighbourPairsAndCounts)
{
    expectValues(derive("160121001", {2, 3, 4}), {{"LV", 2}, {"LW", 0}});
    expectValues(derive("160121001", {4, 3, 2}), {{"LV", 0}, {"LW", 2}});
    expectValues(derive("160121001", {3, 2, 3}), {{"LV", 1}, {"LW", 1}});
    expectValues(derive("160121001", {3, 5, 3}), {{"LU", 0}});
    expectValues(derive("160121001", {1, 1, 1}),
                 {{"L2M", 0}, {"L4M", 0}, {"LR", 1}, {"LS", 2}, {"LT", 0}, {"L1M", 0}, {"LU", 2}});
    expectValues(derive("160121001", {4, 6, 6}), {{"L4M", 3}, {"L5M", 16}});
}

TEST(DrawDeriver, PreviousDrawComparisons)
{
    expectValues(derive("160121001", {1, 2, 3}), {{"LX", 0}, {"LY", 0}});
    expectValues(derive("160121002", {1, 3, 2}, PreviousDraw{{1, 2, 3}}), {{"LX", 1}, {"LY", 3}});
}

TEST(DrawDeriver, IssueAndDateColumns)
{
    expectValues(derive("160121005", {1, 2, 3}),
                 {{"NF", 2016}, {"YF", 1}, {"RQ", 21}, {"SQH", 5}, {"QH", 6}, {"NFW", 9}, {"RQW", 3}});
    expectValues(derive("160121078", {1, 2, 3}), {{"QH", 1}, {"QHW", 1}, {"SQH", 78}, {"SQHW", 15}});
    expectValues(derive("160121077", {1, 2, 3}), {{"QH", 78}, {"QHW", 15}});
    // The online path keeps last digits instead of digit sums.
    expectValues(derive("161229005", {1, 2, 3}, {}, 78, EntryPath::Online),
                 {{"NFW", 6}, {"YFW", 2}, {"RQW", 9}, {"YF", 12}, {"RQ", 29}});
    expectValues(derive("161229005", {1, 2, 3}), {{"NFW", 9}, {"YFW", 3}, {"RQW", 11}});
}

TEST(DrawDeriver, RunningCountIssues)
{
    DrawInput in;
    in.issue = "700178";
    in.numbers = {1, 2, 3};
    in.drawsPerDay = 78;
    in.path = EntryPath::Online;
    in.runningCount = true;
    in.pageDate = QDate(2016, 1, 21);
    DrawRecord r;
    QString error;
    ASSERT_TRUE(DrawDeriver::derive(in, {}, &r, &error));
    expectValues(r, {{"SQH", 78}, {"QH", 79}, {"NF", 2016}, {"NFW", 6}, {"RQ", 21}, {"RQW", 1}});
}

TEST(DrawDeriver, RefusesBadInput)
{
    DrawInput in;
    in.issue = "160121001";
    in.drawsPerDay = 78;
    DrawRecord r;
    QString error;
    for (const auto& numbers : {std::array<int, 3>{0, 1, 2}, {1, 7, 2}, {1, 2, 9}}) {
        in.numbers = numbers;
        EXPECT_FALSE(DrawDeriver::derive(in, {}, &r, &error));
        EXPECT_FALSE(error.isEmpty());
    }
    in.numbers = {1, 2, 3};
    for (const char* issue : {"16012100", "1601210011", "16012100a", "161321001", "160230001", ""}) {
        in.issue = issue;
        error.clear();
        EXPECT_FALSE(DrawDeriver::derive(in, {}, &r, &error)) << issue;
        EXPECT_FALSE(error.isEmpty());
    }
}

TEST(DrawDeriver, ParameterTableNamesAndOrder)
{
    EXPECT_EQ(ParameterTable::code(0), "L1A");
    EXPECT_EQ(ParameterTable::code(3), "L1B");
    EXPECT_EQ(ParameterTable::chineseName(20), QStringLiteral("个位平方"));
    EXPECT_EQ(ParameterTable::code(44), "L1M");
    EXPECT_EQ(ParameterTable::chineseName(46), QStringLiteral("合数和"));
    EXPECT_EQ(ParameterTable::code(49), "LH");
    EXPECT_EQ(ParameterTable::code(76), "NFW");
    EXPECT_EQ(ParameterTable::indexOf(u"lqh"), -1);
    EXPECT_EQ(ParameterTable::indexOf(u"sqhw"), ParameterTable::column("SQHW"));
    QSet<QString> names;
    for (const auto& e : ParameterTable::entries())
        names.insert(e.chineseName);
    EXPECT_EQ(names.size(), kParameterCount);
}

TEST(IssueNumbers, NextIssueAcrossDayEnds)
{
    EXPECT_EQ(IssueNumbers::next(derive("160121078", {1, 2, 3}), 78, false), "160122001");
    EXPECT_EQ(IssueNumbers::next(derive("160121005", {1, 2, 3}), 78, false), "160121006");
    EXPECT_EQ(IssueNumbers::next(derive("161231078", {1, 2, 3}), 78, false), "170101001");
    EXPECT_EQ(IssueNumbers::next(derive("160228078", {1, 2, 3}), 78, false), "160229001");
    // A lottery with more draws per day does not wrap at 78.
    EXPECT_EQ(IssueNumbers::next(derive("160121078", {1, 2, 3}, {}, 82), 82, false), "160121079");
    DrawRecord running;
    running.issue = "700178";
    running.values[ParameterTable::column("SQH")] = 78;
    EXPECT_EQ(IssueNumbers::next(running, 78, true), "700179");
}
