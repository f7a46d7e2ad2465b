#include "TestSupport.h"

#include "backtest/BacktestRunner.h"
#include "formula/FormulaDeletion.h"
#include "formula/FormulaTableStore.h"
#include "history/HistoryColumns.h"
#include "history/Workspace.h"

#include <QSqlQuery>
#include <QSqlRecord>
#include <gtest/gtest.h>

namespace {

FormulaRecord formula(const char* code, const char* chinese, bool kill)
{
    FormulaRecord r;
    r.gongshi = QString::fromUtf8(code);
    r.gongshiCN = QString::fromUtf8(chinese);
    r.bolKill = kill;
    return r;
}

struct OpenWorkspace : TempWorkspace
{
    QSqlDatabase db() { return ws.database().connection(); }
};

QStringList codes(const std::vector<FormulaRecord>& records)
{
    QStringList out;
    for (const auto& r : records)
        out << r.gongshi;
    return out;
}

std::vector<int> idxs(const std::vector<FormulaRecord>& records)
{
    std::vector<int> out;
    for (const auto& r : records)
        out.push_back(r.idx);
    return out;
}

const FormulaKind k2G{2, false};

} // namespace

TEST(FormulaTableStore, AppendContinuesAfterTheLastIdxAndSubsetsFilterBySense)
{
    OpenWorkspace w;
    FormulaTableStore store(&w.ws.database());
    QString error;
    ASSERT_TRUE(store.append(
        k2G, {formula("L1A+1", "a", true), formula("L1A+2", "b", false), formula("L1A+3", "c", true)},
        &error))
        << error.toStdString();
    ASSERT_TRUE(store.append(k2G, {formula("L1A+4", "d", true)}, &error));
    std::vector<FormulaRecord> all;
    ASSERT_TRUE(store.loadTable(k2G, &all, &error));
    EXPECT_EQ(idxs(all), (std::vector<int>{1, 2, 3, 4}));
    std::vector<FormulaRecord> kill;
    ASSERT_TRUE(store.loadSubset(k2G, true, &kill, &error));
    EXPECT_EQ(codes(kill), (QStringList{"L1A+1", "L1A+3", "L1A+4"}));
    EXPECT_FALSE(kill[0].sglGsRate.has_value());
    std::vector<FormulaRecord> keep;
    ASSERT_TRUE(store.loadSubset(k2G, false, &keep, &error));
    EXPECT_EQ(codes(keep), QStringList{"L1A+2"});
    EXPECT_EQ(keep[0].gongshiCN, "b");
    // Another kind's table is untouched.
    std::vector<FormulaRecord> other;
    ASSERT_TRUE(store.loadTable(FormulaKind{1, true}, &other, &error));
    EXPECT_TRUE(other.empty());
}

TEST(FormulaTableStore, SubsetFollowsIdxAndReadsAccessStyleTrue)
{
    OpenWorkspace w;
    QSqlQuery q(w.db());
    ASSERT_TRUE(q.exec("INSERT INTO Gongshi1D (idx, gongshi, gongshiCN, bolKill) VALUES "
                       "(9, 'L1A', 'x', -1), (2, 'L2A', 'y', 1), (5, 'L3A', 'z', 0), (NULL, 'LT', 'w', 1)"));
    FormulaTableStore store(&w.ws.database());
    std::vector<FormulaRecord> kill;
    QString error;
    ASSERT_TRUE(store.loadSubset(FormulaKind{1, true}, true, &kill, &error));
    EXPECT_EQ(codes(kill), (QStringList{"LT", "L2A", "L1A"}));
    EXPECT_TRUE(kill[2].bolKill);
}

TEST(FormulaTableStore, PrepareRemovesDuplicateTriplesAndRenumbers)
{
    OpenWorkspace w;
    QSqlQuery q(w.db());
    // Rows in insertion order; idx gives the list order c, a, b, a(dup), b(other CN), a(keep).
    ASSERT_TRUE(q.exec(QStringLiteral(
        "INSERT INTO Gongshi2G (idx, gongshi, gongshiCN, bolKill, sglGsRate, intGsErrCon) VALUES "
        "(2, 'L1A+1', '[十位通选杀]百位码+1', 1, 50.5, 3),"
        "(3, 'L2A+2', '十位码+2', 1, NULL, NULL),"
        "(1, 'L3A+3', '个位码+3', 1, 10, 1),"
        "(4, 'L1A+1', '[十位通选杀]百位码+1', 1, 70, 2),"
        "(5, 'L2A+2', '十位码+2=下期杀十位通选', 1, NULL, NULL),"
        "(6, 'L1A+1', '[十位通选杀]百位码+1', 0, NULL, NULL),"
        "(7, 'L3A+3', '个位码+3', 1, NULL, NULL)")));
    FormulaTableStore store(&w.ws.database());
    QString error;
    ASSERT_TRUE(store.prepareGongshiTable(k2G, &error)) << error.toStdString();
    std::vector<FormulaRecord> all;
    ASSERT_TRUE(store.loadTable(k2G, &all, &error));
    EXPECT_EQ(codes(all), (QStringList{"L3A+3", "L1A+1", "L2A+2", "L2A+2", "L1A+1"}));
    EXPECT_EQ(idxs(all), (std::vector<int>{1, 2, 3, 4, 5}));
    EXPECT_FALSE(all[4].bolKill);
    EXPECT_EQ(all[3].gongshiCN, QStringLiteral("十位码+2=下期杀十位通选"));
    for (const auto& r : all) {
        EXPECT_FALSE(r.sglGsRate.has_value());
        EXPECT_FALSE(r.intGsErrCon.has_value());
    }
    const QSqlRecord columns = w.db().record("Gongshi2G");
    ASSERT_EQ(columns.count(), 9);
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(columns.fieldName(i), FormulaTableStore::columnNames()[i]);
    EXPECT_TRUE(w.db().record("Tmp").isEmpty());
    // Preparing again changes nothing.
    ASSERT_TRUE(store.prepareGongshiTable(k2G, &error));
    std::vector<FormulaRecord> again;
    ASSERT_TRUE(store.loadTable(k2G, &again, &error));
    EXPECT_EQ(codes(again), codes(all));
}

TEST(FormulaTableStore, PrepareBringsAnOldTableToTheNineColumns)
{
    OpenWorkspace w;
    QSqlQuery q(w.db());
    ASSERT_TRUE(q.exec("DROP TABLE Gongshi3D"));
    ASSERT_TRUE(q.exec("CREATE TABLE Gongshi3D (gongshi TEXT, gongshiCN TEXT, bolKill INTEGER, extra TEXT)"));
    ASSERT_TRUE(q.exec(
        "INSERT INTO Gongshi3D VALUES ('L1A', 'a', 1, 'x'), ('L2A', 'b', 1, 'y'), ('L1A', 'a', 1, 'z')"));
    FormulaTableStore store(&w.ws.database());
    QString error;
    ASSERT_TRUE(store.prepareGongshiTable(FormulaKind{3, true}, &error)) << error.toStdString();
    EXPECT_EQ(w.db().record("Gongshi3D").count(), 9);
    std::vector<FormulaRecord> all;
    ASSERT_TRUE(store.loadTable(FormulaKind{3, true}, &all, &error));
    EXPECT_EQ(codes(all), (QStringList{"L1A", "L2A"}));
    EXPECT_EQ(idxs(all), (std::vector<int>{1, 2}));
    // A missing table is created empty.
    ASSERT_TRUE(q.exec("DROP TABLE Gongshi3G"));
    ASSERT_TRUE(store.prepareGongshiTable(FormulaKind{3, false}, &error)) << error.toStdString();
    EXPECT_EQ(w.db().record("Gongshi3G").count(), 9);
}

TEST(FormulaTableStore, WriteBackRenumbersAllAndKeepsTheOtherSensesFigures)
{
    OpenWorkspace w;
    addDraws(w.ws, {{"160121001", "123"}, {"160121002", "456"}, {"160121003", "111"}, {"160121004", "246"}});
    QSqlQuery q(w.db());
    ASSERT_TRUE(q.exec(
        "INSERT INTO Gongshi2G (idx, gongshi, gongshiCN, bolKill, sglGsRate, intGsErrCon, intGsTrueCon, "
        "intGsErrLst, intGsTrueLst) VALUES "
        "(4, 'L1A+1', 'a', 1, NULL, NULL, NULL, NULL, NULL),"
        "(7, 'L2A', 'b', 0, 42.5, 1, 2, 3, 4),"
        "(9, 'L1A+', 'c', 1, 99, 9, 9, 9, 9),"
        "(12, 'LH', 'd', 1, NULL, NULL, NULL, NULL, NULL)"));
    FormulaTableStore store(&w.ws.database());
    const HistoryColumns history(w.ws.history().draws());
    SubsetBacktest run;
    QString error;
    BacktestOptions o;
    o.lookBackDraws = 0;
    ASSERT_TRUE(BacktestRunner::yansuan(store, history, k2G, true, o, &run, &error)) << error.toStdString();
    ASSERT_EQ(run.formulas.size(), 3u);
    EXPECT_EQ(idxs(run.formulas), (std::vector<int>{1, 3, 4}));
    EXPECT_FALSE(run.result.outcomes[1].valid);

    std::vector<FormulaRecord> all;
    ASSERT_TRUE(store.loadTable(k2G, &all, &error));
    EXPECT_EQ(idxs(all), (std::vector<int>{1, 2, 3, 4}));
    // The keep formula was not evaluated: its figures stay.
    EXPECT_EQ(all[1].sglGsRate, 42.5f);
    EXPECT_EQ(all[1].intGsTrueLst, 4);
    // The invalid formula scores 0.
    EXPECT_EQ(all[2].sglGsRate, 0.0f);
    EXPECT_EQ(all[2].intGsErrCon, 0);
    for (int i : {0, 3}) {
        const FormulaStats& s = run.result.outcomes[i == 0 ? 0 : 2].stats;
        EXPECT_EQ(all[i].sglGsRate, s.rate);
        EXPECT_EQ(all[i].intGsErrCon, s.maxMissRun);
        EXPECT_EQ(all[i].intGsTrueCon, s.maxHitRun);
        EXPECT_EQ(all[i].intGsErrLst, s.finalMissRun);
        EXPECT_EQ(all[i].intGsTrueLst, s.finalHitRun);
    }
    // An empty subset still renumbers.
    ASSERT_TRUE(q.exec("UPDATE Gongshi2G SET idx = idx * 10"));
    ASSERT_TRUE(q.exec("DELETE FROM Gongshi2G WHERE bolKill = 1"));
    ASSERT_TRUE(BacktestRunner::yansuan(store, history, k2G, true, o, &run, &error));
    ASSERT_TRUE(store.loadTable(k2G, &all, &error));
    EXPECT_EQ(idxs(all), std::vector<int>{1});

    // A cancelled run writes nothing.
    std::atomic<bool> cancel{true};
    ASSERT_TRUE(q.exec("UPDATE Gongshi2G SET idx = 5"));
    EXPECT_FALSE(BacktestRunner::yansuan(store, history, k2G, false, o, &run, &error, {}, &cancel));
    EXPECT_FALSE(error.isEmpty());
    ASSERT_TRUE(store.loadTable(k2G, &all, &error));
    EXPECT_EQ(idxs(all), std::vector<int>{5});
}

// Another program deletes a formula, rebuilds the table and compacts the file (the rows get new
// rowids) while this
// one still holds the rows it read: its write-back and its deletion address rows by rowid only
// while they hold the formulas it read, so neither lands on another formula.
TEST(FormulaTableStore, RowsChangedByAnotherProgramAreNotWrittenByTheirOldRowids)
{
    OpenWorkspace mine;
    addDraws(mine.ws, {{"160121001", "123"}, {"160121002", "456"}, {"160121003", "111"}});
    addFormulas(mine.ws, k2G, true, {"L1A+1", "L2A+2", "L3A+3", "LH+4"}, "");
    Workspace other;
    QString error;
    ASSERT_TRUE(other.open(mine.dir.path(), &error)) << error.toStdString();
    FormulaTableStore store(&mine.ws.database());
    std::vector<FormulaRecord> read;
    ASSERT_TRUE(store.loadSubset(k2G, true, &read, &error));
    ASSERT_EQ(read.size(), 4u);

    std::vector<FormulaRecord> otherRows;
    ASSERT_TRUE(FormulaTableStore(&other.database()).loadSubset(k2G, true, &otherRows, &error));
    ASSERT_EQ(FormulaDeletion::deleteRows(&other.database(), k2G, {otherRows[0]}, &error), 1)
        << error.toStdString();
    ASSERT_TRUE(FormulaTableStore(&other.database()).prepareGongshiTable(k2G, &error)) << error.toStdString();
    ASSERT_TRUE(other.compact(&error)) << error.toStdString();

    // The statistics of four formulas, one of them gone: nothing is stored.
    FormulaStats figures;
    figures.rate = 55.5f;
    const std::vector<FormulaStats> stats(4, figures);
    EXPECT_FALSE(store.writeStatistics(k2G, read, stats, &error));
    EXPECT_TRUE(store.changedElsewhere());
    EXPECT_TRUE(error.contains(QStringLiteral("另一个程序"))) << error.toStdString();
    std::vector<FormulaRecord> now;
    ASSERT_TRUE(store.loadTable(k2G, &now, &error));
    EXPECT_EQ(codes(now), (QStringList{"L2A+2", "L3A+3", "LH+4"}));
    for (const FormulaRecord& r : now)
        EXPECT_FALSE(r.sglGsRate.has_value()) << r.gongshi.toStdString();
    // The deletion of the old last row neither deletes whatever took its rowid nor anything else.
    EXPECT_EQ(FormulaDeletion::deleteRows(&mine.ws.database(), k2G, {read[1], read[3]}, &error),
              FormulaDeletion::kChangedElsewhere);
    ASSERT_TRUE(store.loadTable(k2G, &now, &error));
    EXPECT_EQ(now.size(), 3u);

    // The back-test reads the table again and stores figures on the right rows.
    const HistoryColumns history(mine.ws.history().draws());
    SubsetBacktest run;
    BacktestOptions o;
    o.lookBackDraws = 0;
    ASSERT_TRUE(BacktestRunner::yansuan(store, history, k2G, true, o, &run, &error)) << error.toStdString();
    EXPECT_TRUE(run.statisticsStored);
    ASSERT_TRUE(store.loadTable(k2G, &now, &error));
    ASSERT_EQ(now.size(), 3u);
    for (std::size_t i = 0; i < now.size(); ++i)
        EXPECT_EQ(now[i].sglGsRate, run.result.outcomes[i].stats.rate) << now[i].gongshi.toStdString();
    // Read afresh, the rows are deleted.
    ASSERT_TRUE(store.loadSubset(k2G, true, &read, &error));
    EXPECT_EQ(FormulaDeletion::deleteRows(&mine.ws.database(), k2G, {read[0]}, &error), 1);
}
