#pragma once

#include "formula/FormulaKind.h"
#include "formula/FormulaTextFile.h"

#include <vector>

class QWidget;
class Workspace;

// The main window's two Chinese text exports as whole handlers: the busy pointer, the messages
// (through MessageBoxes) and the opening of the written file. They sit beside the back-test,
// whose final hit runs the files carry.
class FormulaExportActions
{
public:
    // "所有类公式中文导出": every kind, sense `kill` only, each kind back-tested afresh; the window
    // switches its grid to the Chinese view first. Returns false (after telling) on failure.
    static bool exportAllKinds(QWidget* parent, Workspace& workspace, bool kill);
    // "所选类公式中文导出": the formula grid's rows (Chinese form, 最后连对) in grid order.
    static bool exportCurrentKind(QWidget* parent, Workspace& workspace,
                                  const std::vector<FormulaTextFile::Entry>& rows, const FormulaKind& kind,
                                  bool kill);
};
