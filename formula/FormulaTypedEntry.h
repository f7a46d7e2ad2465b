#pragma once

#include "formula/FormulaKind.h"
#include "formula/FormulaRecord.h"

#include <QString>

class Database;

// What "添加所输公式(&A)" did with the text of the formula input box.
struct TypedEntryResult
{
    bool added = false;
    // When added: the kind and sense the formula was filed under. The window selects them when
    // they differ from its own (the text's decoration named them).
    FormulaKind kind;
    bool kill = true;
    FormulaRecord record; // gongshi, gongshiCN, bolKill as stored
    // When refused: the message box to show, and nothing was added.
    QString title;
    QString message;
};

// Typed entry: the trimmed text is the Chinese form; its decoration may name the kind and the
// sense, which then take the place of the current ones. The formula is translated to code and
// refused, with a message that names the problem, when the code keeps characters that are not
// code, does not compile or names an unknown code, so a stored formula always evaluates. It is
// appended after the last formula of its kind's table.
class FormulaTypedEntry
{
public:
    static TypedEntryResult add(Database* db, const QString& text, const FormulaKind& currentKind,
                                bool currentKill);
};
