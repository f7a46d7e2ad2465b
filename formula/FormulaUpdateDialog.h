#pragma once

#include "formula/FormulaKind.h"
#include "formula/FormulaOnlineUpdate.h"

#include <QString>

class QWidget;
class Workspace;

// "公式在线更新（&W)": asks the question (title "读入历史"), downloads the formula file while a
// window-modal progress dialog with a cancel button waits (within the time bound), replaces the
// stored formulas and shows the outcome through MessageBoxes: how many formulas were read, or
// what went wrong and that nothing was changed.
// `currentKind` and *kill are the window's; *kill receives the sense in force at the end of the
// file, which the window adopts. `summary` receives the outcome text (empty when the user
// declined). Returns true when the formulas changed: the caller keeps its current kind, reloads
// the formula grid and the history grid and re-runs the back-test.
bool runOnlineFormulaUpdate(QWidget* parent, Workspace& workspace, const FormulaKind& currentKind, bool* kill,
                            QString* summary, const FormulaUpdateOptions& options = {});
