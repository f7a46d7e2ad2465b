#pragma once

#include "formula/FormulaKind.h"
#include "formula/FormulaRecord.h"

#include <QString>
#include <QtGlobal>
#include <vector>

class Database;

// Deletes formulas from a kind's table and renumbers the rest idx = 1..n in their list order,
// all in one transaction.
class FormulaDeletion
{
public:
    // The result when another program changed the table since the rows were read: nothing deleted.
    static constexpr int kChangedElsewhere = -2;
    // Deletes the rows as read from the table (each by its rowid, and only while it still holds
    // the formula it was read with). Returns the number deleted, -1 (nothing deleted) on failure,
    // or kChangedElsewhere.
    static int deleteRows(Database* db, const FormulaKind& kind, const std::vector<FormulaRecord>& rows,
                          QString* error);
};
