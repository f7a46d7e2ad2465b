#include "SyntheticHistory.h"
#include "TestSupport.h"

#include "history/HistoryImport.h"
#include "history/HistoryStore.h"
#include "history/HistoryTextFile.h"
#include "history/LotteryTable.h"
#include "history/Workspace.h"

#include <QSqlQuery>
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

namespace {

struct OpenWorkspace : TempWorkspace
{
    HistoryImportPlan plan(const QByteArray& bytes)
    {
        HistoryImport::Options o;
        o.drawsPerDay = 78;
        o.runningCount = ws.isRunningCountLottery();
        o.lottery = ws.lottery().caption;
        return HistoryImport::plan(ws.history(), bytes, o);
    }
    void import(const QByteArray& bytes)
    {
        const HistoryImportPlan p = plan(bytes);
        ASSERT_TRUE(p.unread.empty()) << p.problems().join('\n').toStdString();
        QString error;
        ASSERT_TRUE(HistoryImport::store(&ws.history(), p, &error)) << error.toStdString();
    }
    int rowsInFile()
    {
        QSqlQuery q(ws.database().connection());
        return q.exec("SELECT count(*) FROM Lishi") && q.next() ? q.value(0).toInt() : -1;
    }
};

// Every stored draw equals the reference draw of the same place: issue and all 77 columns.
void expectSameHistory(const std::vector<DrawRecord>& stored, const std::vector<DrawRecord>& reference)
{
    ASSERT_EQ(stored.size(), reference.size());
    for (size_t i = 0; i < stored.size(); ++i) {
        ASSERT_EQ(stored[i].issue, reference[i].issue) << i;
        EXPECT_EQ(stored[i].values, reference[i].values) << reference[i].issue.toStdString();
    }
}

std::vector<DrawRecord> without(const std::vector<DrawRecord>& draws, const std::set<size_t>& skipped,
                                size_t count)
{
    std::vector<DrawRecord> out;
    for (size_t i = 0; i < count; ++i)
        if (!skipped.count(i))
            out.push_back(draws[i]);
    return out;
}

} // namespace

// A results page published smallest-first, imported with some lines refused earlier (single draws,
// a run of three, the day's last draw with the next day's first): importing the whole page again
// fills those gaps and adds the newer draws, and the history is exactly what one import of the
// whole page in order gives, including the draws after each gap chained again.
TEST(HistoryGaps, ImportFillsGapsAsIfTheWholeHistoryWereImportedInOrder)
{
    const std::vector<DrawRecord> all = syntheticDraws(3000, 28, true);
    std::set<size_t> skipped = {1000, 1001, 1002, 77, 78, 2397};
    for (size_t i = 97; i < 2390; i += 97)
        skipped.insert(i);
    OpenWorkspace w;
    w.import(HistoryTextFile::format(without(all, skipped, 2400)));
    ASSERT_EQ(w.ws.history().draws().size(), 2400 - skipped.size());

    const HistoryImportPlan plan = w.plan(HistoryTextFile::format(all));
    EXPECT_TRUE(plan.unread.empty()) << plan.problems().join('\n').toStdString();
    EXPECT_EQ(plan.gapFills, int(skipped.size()));
    EXPECT_EQ(plan.newDraws(), 600);
    EXPECT_EQ(plan.alreadyStored, int(2400 - skipped.size()));
    // A stored draw after a gap was chained from the draw before the gap: some change.
    EXPECT_FALSE(plan.rederived.empty());
    EXPECT_LE(plan.rederived.size(), skipped.size());
    QString error;
    ASSERT_TRUE(HistoryImport::store(&w.ws.history(), plan, &error)) << error.toStdString();
    expectSameHistory(w.ws.history().draws(), all);
    EXPECT_EQ(w.rowsInFile(), 3000);

    // Read back from the file by another program: the same.
    Workspace reader;
    ASSERT_TRUE(reader.open(w.dir.path(), &error)) << error.toStdString();
    expectSameHistory(reader.history().draws(), all);
}

// Issues before the oldest stored draw are refused with the reason; stored issues keep their
// handling (the same numbers are skipped, other numbers refused); a page newest first fills gaps
// and adds new draws in one plan.
TEST(HistoryGaps, OlderThanTheOldestIsRefusedAndStoredIssuesAreHandledAsBefore)
{
    const std::vector<DrawRecord> all = syntheticDraws(200, 3, true);
    OpenWorkspace w;
    // Stored: draws 10..149 without 60 and 61.
    std::vector<DrawRecord> partial;
    for (size_t i = 10; i < 150; ++i)
        if (i != 60 && i != 61)
            partial.push_back(all[i]);
    w.import(HistoryTextFile::format(partial));

    // The page as a results site shows it: newest first.
    QByteArray page;
    for (size_t i = all.size(); i-- > 0;)
        page += HistoryTextFile::format({all[i]});
    // Draw 100 once more, with numbers that differ from the stored ones.
    const QByteArray other = QByteArray::number(all[100].number(1) % 6 + 1);
    const QByteArray conflicting = all[100].issue.toLatin1() + ' ' + other + other + other + "\r\n";
    HistoryImportPlan plan = w.plan(page + conflicting);
    EXPECT_EQ(plan.gapFills, 2);
    EXPECT_EQ(plan.newDraws(), 50);
    EXPECT_EQ(plan.alreadyStored, 137);
    // Draws 0..9 are older than the oldest stored one; draw 100 is listed twice with other numbers.
    ASSERT_EQ(plan.unread.size(), 12u);
    const QString oldest = all[10].issue;
    int before = 0;
    for (const UnreadLine& u : plan.unread)
        before += u.reason.contains(QStringLiteral("早于已存的最早一期") + oldest);
    EXPECT_EQ(before, 10);

    // A stored issue with other numbers is refused as before, not taken for a gap.
    plan = w.plan(conflicting + HistoryTextFile::format({all[60]}));
    ASSERT_EQ(plan.unread.size(), 1u);
    EXPECT_TRUE(plan.unread[0].reason.contains(QStringLiteral("已经存在")))
        << plan.unread[0].reason.toStdString();
    EXPECT_EQ(plan.gapFills, 1);

    // Skipping the refused lines stores the rest: the gaps and the newer draws.
    plan = w.plan(page);
    QString error;
    ASSERT_TRUE(HistoryImport::store(&w.ws.history(), plan, &error)) << error.toStdString();
    // The same as the draws from the oldest stored one imported in one go.
    OpenWorkspace inOrder;
    inOrder.import(HistoryTextFile::format(std::vector<DrawRecord>(all.begin() + 10, all.end())));
    expectSameHistory(w.ws.history().draws(), inOrder.ws.history().draws());
}

// A draw typed into a gap is derived from its true previous draw, not from the newest one, and the
// stored draw after it is chained again from it.
TEST(HistoryGaps, TypedDrawFillsAGapChainedFromItsTruePreviousDraw)
{
    OpenWorkspace w;
    const QDate today(2016, 1, 21);
    QString error;
    ASSERT_TRUE(w.ws.addTypedDraw("160121001", {1, 2, 3}, today, &error));
    ASSERT_TRUE(w.ws.addTypedDraw("160121003", {5, 5, 6}, today, &error));
    HistoryStore::Placement placement;
    ASSERT_TRUE(w.ws.addTypedDraw(" 160121002 ", {5, 6, 6}, today, &error, &placement))
        << error.toStdString();
    EXPECT_TRUE(placement.filledGap());
    EXPECT_EQ(placement.stored.issue, "160121002");
    EXPECT_EQ(placement.before, "160121001");
    EXPECT_EQ(placement.after, "160121003");
    const auto& draws = w.ws.history().draws();
    ASSERT_EQ(draws.size(), 3u);
    EXPECT_EQ(draws[1].issue, "160121002");
    // Against 1 2 3 nothing repeats; chained from the newest draw 5 5 6 it would read LX 2, LY 3.
    EXPECT_EQ(draws[1].value("LX"), 0);
    EXPECT_EQ(draws[1].value("LY"), 0);
    // 5 5 6 after 5 6 6: positions 1 and 3 repeat, every number occurs in it.
    EXPECT_EQ(draws[2].value("LX"), 2);
    EXPECT_EQ(draws[2].value("LY"), 3);
    EXPECT_EQ(w.ws.nextIssue(), "160121004");

    // Appending still says nothing about a gap.
    ASSERT_TRUE(w.ws.addTypedDraw("160121004", {2, 2, 2}, today, &error, &placement));
    EXPECT_FALSE(placement.filledGap());
    EXPECT_EQ(placement.before, "160121003");

    // Before the oldest draw, or stored already: refused, nothing changed.
    const std::vector<DrawRecord> kept = draws;
    EXPECT_FALSE(w.ws.addTypedDraw("160120078", {1, 1, 1}, today, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("期号160120078早于已存的最早一期160121001")))
        << error.toStdString();
    EXPECT_FALSE(w.ws.addTypedDraw("160121002", {1, 1, 1}, today, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("已经存在"))) << error.toStdString();
    expectSameHistory(w.ws.history().draws(), kept);

    // In a history of a few thousand draws imported with one line refused, typing that draw gives
    // the history typed in order.
    const std::vector<DrawRecord> all = syntheticDraws(2500, 11, true);
    OpenWorkspace big;
    big.import(HistoryTextFile::format(without(all, {1500}, all.size())));
    const DrawRecord& missing = all[1500];
    ASSERT_TRUE(big.ws.addTypedDraw(missing.issue, {missing.number(1), missing.number(2), missing.number(3)},
                                    today, &error, &placement))
        << error.toStdString();
    EXPECT_EQ(placement.before, all[1499].issue);
    EXPECT_EQ(placement.after, all[1501].issue);
    expectSameHistory(big.ws.history().draws(), all);
}

// 北京快3's running counts fill gaps too (issue order is the text order of the history list).
TEST(HistoryGaps, RunningCountTypedIntoAGap)
{
    OpenWorkspace w;
    w.ws.setLotteryIndex(LotteryTable::kBeijing);
    const QDate today(2016, 1, 21);
    QString error;
    ASSERT_TRUE(w.ws.addTypedDraw("79549", {1, 2, 3}, today, &error));
    ASSERT_TRUE(w.ws.addTypedDraw("79551", {4, 4, 4}, today, &error));
    HistoryStore::Placement placement;
    ASSERT_TRUE(w.ws.addTypedDraw("79550", {4, 5, 6}, today, &error, &placement)) << error.toStdString();
    EXPECT_EQ(placement.before, "79549");
    EXPECT_EQ(placement.after, "79551");
    ASSERT_EQ(w.ws.history().draws().size(), 3u);
    EXPECT_EQ(w.ws.history().draws()[1].value("SQH"), 50);
    EXPECT_EQ(w.ws.history().draws()[2].value("LX"), 1); // 4 4 4 after 4 5 6
    EXPECT_EQ(w.ws.nextIssue(), "79552");
}

// A write that fails part way (a draw to chain again that is not stored) rolls back: the draws
// inserted before the failure are not stored either. A plan overtaken by a write of the same
// program is refused.
TEST(HistoryGaps, AFailedWriteLeavesTheHistoryAsItWas)
{
    const std::vector<DrawRecord> all = syntheticDraws(400, 9, true);
    OpenWorkspace w;
    w.import(HistoryTextFile::format(without(all, {200, 300}, all.size())));
    const std::vector<DrawRecord> before = w.ws.history().draws();
    DrawRecord notStored = all[300];
    notStored.issue = QStringLiteral("160121001"); // 2016-01-21 is past the synthetic days
    QString error;
    EXPECT_FALSE(w.ws.history().insert({all[200]}, {notStored}, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("没有改变"))) << error.toStdString();
    EXPECT_EQ(w.rowsInFile(), 398);
    ASSERT_TRUE(w.ws.history().reload(&error));
    expectSameHistory(w.ws.history().draws(), before);

    const HistoryImportPlan plan = w.plan(HistoryTextFile::format(all));
    EXPECT_EQ(plan.gapFills, 2);
    const DrawRecord& gap = all[200];
    ASSERT_TRUE(w.ws.addTypedDraw(gap.issue, {gap.number(1), gap.number(2), gap.number(3)}, QDate(), &error));
    EXPECT_FALSE(HistoryImport::store(&w.ws.history(), plan, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("改变"))) << error.toStdString();
    EXPECT_EQ(w.rowsInFile(), 399);
}

// The loaded history takes each committed write in place instead of reading the file again: after
// appends, gap fills that re-derive later draws, typed draws and a replacement it is exactly what
// another program reads from the file.
TEST(HistoryGaps, TheLoadedHistoryAfterEachWriteIsWhatTheFileHolds)
{
    const std::vector<DrawRecord> all = syntheticDraws(1500, 11, true);
    OpenWorkspace w;
    QString error;
    const auto expectFileAgrees = [&](const char* step) {
        SCOPED_TRACE(step);
        Workspace reader;
        ASSERT_TRUE(reader.open(w.dir.path(), &error)) << error.toStdString();
        expectSameHistory(w.ws.history().draws(), reader.history().draws());
    };
    // Newest first, with gaps: appended in issue order.
    std::set<size_t> skipped = {3, 4, 400, 401, 402, 777};
    std::vector<DrawRecord> partial = without(all, skipped, 1000);
    std::reverse(partial.begin(), partial.end());
    w.import(HistoryTextFile::format(partial));
    expectFileAgrees("import newest first");
    // The gaps and newer draws in one import.
    w.import(HistoryTextFile::format(all));
    expectSameHistory(w.ws.history().draws(), all);
    expectFileAgrees("gaps filled");

    // Everything stored replaced by a shorter history.
    std::vector<DrawRecord> shorter(all.begin(), all.begin() + 300);
    ASSERT_TRUE(w.ws.history().replaceAndAppend(true, without(shorter, {10}, 300), &error))
        << error.toStdString();
    expectFileAgrees("replaced");
    ASSERT_TRUE(w.ws.addTypedDraw(all[10].issue, {all[10].number(1), all[10].number(2), all[10].number(3)},
                                  QDate(2016, 1, 21), &error))
        << error.toStdString();
    expectSameHistory(w.ws.history().draws(), shorter);
    expectFileAgrees("typed into the gap");
}
