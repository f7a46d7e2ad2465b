#pragma once

#include "formula/FormulaKind.h"

#include <QString>
#include <QtGlobal>
#include <vector>

class Database;

// Deletes formulas from a kind's table and renumbers the rest idx = 1..n in their list order,
// all in one transaction.
class FormulaDeletion
{
public:
    // Returns the number of formulas deleted, or -1 (nothing deleted) on failure.
    static int deleteRows(Database* db, const FormulaKind& kind, const std::vector<qint64>& rowIds, QString* error);
};
