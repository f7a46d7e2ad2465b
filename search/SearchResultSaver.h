#pragma once

#include "formula/FormulaKind.h"
#include "search/SearchResult.h"

#include <QString>
#include <vector>

class Database;

// Writes the result list into the formula tables ("公式追加到数据库(&A)", "公式更新到数据库(&N)").
// Every entry goes into its own kind's table; the entries of one kind are written together, kinds
// in the order of their first entry, so an update keeps all of a kind's entries even when other
// kinds came between them. Every saved formula takes the sense given (the window's 生杀 choice at
// the time of saving). Each table is written in one transaction: append (after deleting all its
// formulas, kill and keep alike, for an update), then the rebuild that drops duplicate
// (bolKill, gongshi, gongshiCN) rows and renumbers idx.
class SearchResultSaver
{
public:
    enum class Mode
    {
        Append,
        Update
    };

    // On failure the failing table and those after it stay as they were; `saved` lists the kinds
    // written before, whose entries are no longer waiting.
    static bool save(Database* db, const std::vector<SearchResult>& entries, Mode mode, bool kill,
                     std::vector<FormulaKind>* saved, QString* error);
};
