#pragma once

#include "formula/FormulaKind.h"
#include "formula/FormulaRecord.h"

#include <QString>
#include <atomic>
#include <vector>

class Database;
class FormulaTableStore;
class HistoryColumns;

// A formula and the later formulas of its subset that predict exactly as it does.
struct EquivalentGroup
{
    FormulaRecord kept;                     // the first of the group in idx order
    std::vector<FormulaRecord> equivalents; // in idx order
};

// "删除等价公式(&Q)": finds the groups of equivalent formulas of a kind's formulas of one sense and
// deletes all but the first of each, in one transaction, renumbering the rest idx = 1..n.
class EquivalentFormulas
{
public:
    // The groups of `formulas` (in idx order) by their first equivalents (FormulaEquivalence).
    static std::vector<EquivalentGroup> groups(const std::vector<FormulaRecord>& formulas,
                                               const std::vector<int>& firstEquivalent);
    // Loads the subset and finds its groups over every draw. False with a message on a database
    // failure, or when cancelled (without a message).
    static bool find(const FormulaTableStore& store, const HistoryColumns& history, const FormulaKind& kind,
                     bool kill, std::vector<EquivalentGroup>* groups, QString* error,
                     const std::atomic<bool>* cancel = nullptr);
    static int equivalentCount(const std::vector<EquivalentGroup>& groups);

    static QString title(); // "删除等价公式"
    // "将删除 K 条等价公式（每组保留序号最小的一条），是否继续？"
    static QString question(int count);

    // Deletes every group's equivalents in one transaction and renumbers the table. Returns the
    // number deleted, or -1 (nothing deleted) on failure, or FormulaDeletion::kChangedElsewhere when
    // another program changed the table since it was read. The caller compacts the file afterwards,
    // as after the other deletions.
    static int deleteEquivalents(Database* db, const FormulaKind& kind,
                                 const std::vector<EquivalentGroup>& groups, QString* error);
};
