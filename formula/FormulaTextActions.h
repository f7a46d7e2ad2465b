#pragma once

#include "formula/FormulaKind.h"
#include "formula/FormulaTextFile.h"
#include "formula/FormulaTypedEntry.h"

#include <QString>
#include <functional>
#include <vector>

class QWidget;
class Workspace;

// The main window's formula text buttons, each a whole handler apart from the window's own
// refresh: the busy pointer, the questions and messages (through MessageBoxes) and the opening
// of the written files. The window passes its current kind and sense and refreshes (formula
// grid, history grid, back-test) when a call reports a change.
class FormulaTextActions
{
public:
    // "公式文本" under the data folder, created when missing: where the file dialog opens.
    static QString importFolder(Workspace& workspace);

    // "读取公式文本(N)": the file dialog (filter "Text(*.txt)"), then importChosenFile().
    static bool importFile(QWidget* parent, Workspace& workspace, const FormulaKind& currentKind, bool* kill,
                           const std::function<void()>& refresh);
    // Imports `path` starting from the current kind and *kill; *kill receives the sense in force at
    // the end. A name not ending in "txt" is ignored. After a successful import `refresh` runs;
    // then, when lines were rejected, the question "公式文本文件中含有无法识别公式，是否查看这些公式？"
    // offers to open "无法识别公式.txt". Returns true when formulas were added. A database failure
    // adds nothing and is shown.
    static bool importChosenFile(QWidget* parent, Workspace& workspace, const QString& path,
                                 const FormulaKind& currentKind, bool* kill,
                                 const std::function<void()>& refresh);

    // "添加所输公式(&A)": adds the input box's text, or shows why not (the caller then puts the focus
    // into the input box). When added, the caller clears the input box, selects result.kind and
    // result.kill when they differ from its own, and refreshes.
    static TypedEntryResult addTyped(QWidget* parent, Workspace& workspace, const QString& text,
                                     const FormulaKind& currentKind, bool currentKill);

    // "清空所有公式": asks first; returns true when the formulas were deleted.
    static bool clearAll(QWidget* parent, Workspace& workspace);
};
