#pragma once

#include <QString>

class Database;

// "清空所有公式": empties the five formula tables, all in one transaction.
class FormulaClearAll
{
public:
    static QString title();    // "清空所有公式"
    static QString question(); // asked before anything is deleted

    // Returns false, with nothing deleted, when the database refuses.
    static bool clearAll(Database* db, QString* error);
    // The same inside a transaction the caller holds (the online formula update).
    static bool clearAllInTransaction(Database* db, QString* error);
};
