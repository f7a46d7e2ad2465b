#include "formula/FormulaUpdateDialog.h"

#include "history/OnlineUpdateDialog.h"
#include "history/ResultsPageAddress.h"
#include "ui/MessageBoxes.h"

#include <QApplication>

bool runOnlineFormulaUpdate(QWidget* parent, Workspace& workspace, const FormulaKind& currentKind, bool* kill,
                            QString* summary, const FormulaUpdateOptions& options)
{
    summary->clear();
    if (!MessageBoxes::question(parent, FormulaOnlineUpdate::title(), FormulaOnlineUpdate::question()))
        return false;

    FormulaOnlineUpdate update(workspace, currentKind, *kill, options);
    const FetchResult fetched = OnlineUpdateDialog::load(parent, update.address(), update.timeout(),
                                                         QStringLiteral("正在下载公式文件，请稍候……"),
                                                         FormulaOnlineUpdate::wording());
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const bool ok = update.finish(fetched, summary);
    QApplication::restoreOverrideCursor();
    const QString title = QStringLiteral("公式在线更新");
    if (!ok) {
        if (update.failedAtSource())
            *summary += ResultsPageAddress::sourcesHint(QStringLiteral("公式文件地址"));
        MessageBoxes::warning(parent, title, *summary);
        return false;
    }
    *kill = update.imported().kill;
    MessageBoxes::information(parent, title, *summary);
    return true;
}
