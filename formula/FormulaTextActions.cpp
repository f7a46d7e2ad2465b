#include "formula/FormulaTextActions.h"

#include "formula/FormulaClearAll.h"
#include "formula/FormulaImport.h"
#include "history/Workspace.h"
#include "ui/BusyCursor.h"
#include "ui/DesktopOpener.h"
#include "ui/MessageBoxes.h"

#include <QDir>
#include <QFileDialog>

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
    if (!result.unrecognisedError.isEmpty()) {
        // The formulas stay added; only the list of rejected lines is missing.
        MessageBoxes::warning(
            parent, QStringLiteral("无法识别公式"),
            QStringLiteral("已添加%1个公式。公式文本文件中含有%2个无法识别公式，但无法把它们写入文件：%3")
                .arg(result.added)
                .arg(result.rejected)
                .arg(result.unrecognisedError));
    } else if (result.rejected > 0 &&
               MessageBoxes::question(parent, QStringLiteral("无法识别公式"),
                                      QStringLiteral("公式文本文件中含有无法识别公式，是否查看这些公式？")))
        DesktopOpener::openTextFile(parent, QStringLiteral("无法识别公式"), result.unrecognisedPath);
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
    if (!MessageBoxes::question(parent, FormulaClearAll::title(),
                                FormulaClearAll::question() + QStringLiteral("\n\n") + workspace.undoNote()))
        return false;
    QString error;
    bool ok;
    {
        BusyCursor busy;
        ok = workspace.backupBefore(FormulaClearAll::title(), &error) &&
             FormulaClearAll::clearAll(&workspace.database(), &error);
    }
    if (!ok)
        MessageBoxes::warning(parent, FormulaClearAll::title(),
                              error + QStringLiteral("\n没有删除任何公式。"));
    return ok;
}
