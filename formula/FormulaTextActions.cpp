#include "formula/FormulaTextActions.h"

#include "formula/FormulaClearAll.h"
#include "formula/FormulaExport.h"
#include "formula/FormulaImport.h"
#include "history/Workspace.h"
#include "ui/BusyCursor.h"
#include "ui/DesktopOpener.h"
#include "ui/MessageBoxes.h"

#include <QDir>
#include <QFileDialog>

namespace {

// Shows a written text file in the desktop's text editor.
void openText(QWidget* parent, const QString& title, const QString& path)
{
    if (!DesktopOpener::open(path))
        MessageBoxes::warning(parent, title,
                              QStringLiteral("没有可以打开文本文件的程序。文件已保存为：%1")
                                  .arg(QDir::toNativeSeparators(path)));
}

} // namespace

QString FormulaTextActions::importFolder(Workspace& workspace)
{
    const QString folder = QDir(workspace.dataFolder()).filePath(QStringLiteral("公式文本"));
    QDir().mkpath(folder); // a folder that cannot be made leaves the dialog in its default place
    return folder;
}

bool FormulaTextActions::importFile(QWidget* parent, Workspace& workspace, const FormulaKind& currentKind,
                                    bool* kill, const std::function<void()>& refresh)
{
    const QString path = QFileDialog::getOpenFileName(parent, QStringLiteral("读取公式文本"),
                                                      importFolder(workspace), QStringLiteral("Text(*.txt)"));
    return importChosenFile(parent, workspace, path, currentKind, kill, refresh);
}

bool FormulaTextActions::importChosenFile(QWidget* parent, Workspace& workspace, const QString& path,
                                          const FormulaKind& currentKind, bool* kill,
                                          const std::function<void()>& refresh)
{
    if (!path.right(3).toLower().endsWith(QStringLiteral("txt")))
        return false;
    FormulaImportOptions options;
    options.startKind = currentKind;
    options.startKill = *kill;
    options.unrecognisedPath = QDir(workspace.dataFolder()).filePath(FormulaImport::unrecognisedFileName());
    FormulaImportResult result;
    QString error;
    bool ok;
    {
        BusyCursor busy;
        ok = FormulaImport(&workspace.database(), options).importFile(path, &result, &error);
        if (ok) {
            *kill = result.kill;
            if (refresh)
                refresh();
        }
    }
    if (!ok) {
        MessageBoxes::warning(parent, QStringLiteral("读取公式文本"),
                              error + QStringLiteral("\n没有添加任何公式。"));
        return false;
    }
    if (result.rejected > 0 &&
        MessageBoxes::question(parent, QStringLiteral("无法识别公式"),
                               QStringLiteral("公式文本文件中含有无法识别公式，是否查看这些公式？")))
        openText(parent, QStringLiteral("无法识别公式"), result.unrecognisedPath);
    return result.added > 0;
}

TypedEntryResult FormulaTextActions::addTyped(QWidget* parent, Workspace& workspace, const QString& text,
                                              const FormulaKind& currentKind, bool currentKill)
{
    TypedEntryResult result = FormulaTypedEntry::add(&workspace.database(), text, currentKind, currentKill);
    if (!result.added)
        MessageBoxes::warning(parent, result.title, result.message);
    return result;
}

bool FormulaTextActions::clearAll(QWidget* parent, Workspace& workspace)
{
    if (!MessageBoxes::question(parent, FormulaClearAll::title(), FormulaClearAll::question()))
        return false;
    QString error;
    bool ok;
    {
        BusyCursor busy;
        ok = FormulaClearAll::clearAll(&workspace.database(), &error);
    }
    if (!ok)
        MessageBoxes::warning(parent, FormulaClearAll::title(),
                              error + QStringLiteral("\n没有删除任何公式。"));
    return ok;
}

bool FormulaTextActions::exportAllKinds(QWidget* parent, Workspace& workspace, bool kill)
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
    openText(parent, QStringLiteral("所有类公式中文导出"), path);
    return true;
}

bool FormulaTextActions::exportCurrentKind(QWidget* parent, Workspace& workspace,
                                           const std::vector<FormulaTextFile::Entry>& rows,
                                           const FormulaKind& kind, bool kill)
{
    QString path, error;
    if (!FormulaExport::exportCurrentKind(rows, kind, kill, workspace.dataFolder(),
                                          FormulaExport::latestIssue(workspace), &path, &error)) {
        MessageBoxes::warning(parent, QStringLiteral("所选类公式中文导出"), error);
        return false;
    }
    openText(parent, QStringLiteral("所选类公式中文导出"), path);
    return true;
}
