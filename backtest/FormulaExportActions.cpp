#include "backtest/FormulaExportActions.h"

#include "backtest/FormulaExport.h"
#include "history/Workspace.h"
#include "ui/BusyCursor.h"
#include "ui/DesktopOpener.h"
#include "ui/MessageBoxes.h"

bool FormulaExportActions::exportAllKinds(QWidget* parent, Workspace& workspace, bool kill)
{
    QString path, error;
    bool ok;
    {
        BusyCursor busy;
        ok = FormulaExport::exportAllKinds(workspace, kill, &path, &error);
    }
    if (!ok) {
        MessageBoxes::warning(parent, QStringLiteral("所有类公式中文导出"), error);
        return false;
    }
    DesktopOpener::openTextFile(parent, QStringLiteral("所有类公式中文导出"), path);
    return true;
}

bool FormulaExportActions::exportCurrentKind(QWidget* parent, Workspace& workspace,
                                             const std::vector<FormulaTextFile::Entry>& rows,
                                             const FormulaKind& kind, bool kill)
{
    QString path, error;
    if (!FormulaExport::exportCurrentKind(rows, kind, kill, workspace.dataFolder(),
                                          FormulaExport::latestIssue(workspace), &path, &error)) {
        MessageBoxes::warning(parent, QStringLiteral("所选类公式中文导出"), error);
        return false;
    }
    DesktopOpener::openTextFile(parent, QStringLiteral("所选类公式中文导出"), path);
    return true;
}
