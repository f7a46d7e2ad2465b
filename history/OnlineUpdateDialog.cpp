#include "history/OnlineUpdateDialog.h"

#include "history/ResultsPageAddress.h"
#include "history/Workspace.h"
#include "ui/MessageBoxes.h"

#include <QApplication>
#include <QEventLoop>
#include <QProgressDialog>

FetchResult OnlineUpdateDialog::load(QWidget* parent, const QUrl& url, int timeoutMs)
{
    return load(parent, url, timeoutMs, QStringLiteral("正在读取开奖历史页面，请稍候……"), FetchWording{});
}

FetchResult OnlineUpdateDialog::load(QWidget* parent, const QUrl& url, int timeoutMs, const QString& label,
                                     const FetchWording& wording)
{
    PageFetcher fetcher;
    fetcher.setTimeout(timeoutMs);
    fetcher.setWording(wording);
    QProgressDialog dialog(label, QStringLiteral("取消"), 0, 0, parent);
    dialog.setWindowTitle(QStringLiteral("在线更新"));
    dialog.setWindowModality(Qt::WindowModal);
    dialog.setAutoReset(false);
    dialog.setAutoClose(false);
    dialog.setMinimumDuration(0);
    QObject::connect(&dialog, &QProgressDialog::canceled, &fetcher, &PageFetcher::cancel);
    QEventLoop loop;
    QObject::connect(&fetcher, &PageFetcher::finished, &loop, &QEventLoop::quit);

    QApplication::setOverrideCursor(Qt::BusyCursor);
    fetcher.start(url);
    dialog.show();
    if (fetcher.isRunning())
        loop.exec();
    QApplication::restoreOverrideCursor();
    return fetcher.result();
}

QString onlineHistoryQuestion(const OnlineHistoryUpdate& update)
{
    QString text =
        QStringLiteral("确实要在线更新最新历史号码吗？更新可能要花费一段时间，网络不通或者我方服务器"
                       "更新不及时可能都造成更新失败！");
    if (update.storedDrawsReplaced() > 0)
        text +=
            QStringLiteral("\n\n已存历史号码中最早的一期已超过%1天：这次更新将用新读到的最近%1天的号码替换"
                           "已存的全部%2期历史号码。只有在页面读取成功后才替换，更新失败时历史号码不变。")
                .arg(update.searchDays())
                .arg(update.storedDrawsReplaced());
    return text;
}

bool runOnlineHistoryUpdate(QWidget* parent, Workspace& workspace, QString* summary,
                            const OnlineUpdateOptions& options)
{
    const QString title = QStringLiteral("在线更新");
    summary->clear();
    OnlineHistoryUpdate update = OnlineHistoryUpdate::plan(workspace, options);
    if (!MessageBoxes::question(parent, title, onlineHistoryQuestion(update)))
        return false;

    const FetchResult fetched = OnlineUpdateDialog::load(parent, update.pageUrl(), update.timeout());
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const bool ok = update.finish(fetched, &workspace.history(), summary);
    QApplication::restoreOverrideCursor();
    if (ok) {
        MessageBoxes::information(parent, title, *summary);
    } else {
        if (update.failedAtSource())
            *summary += ResultsPageAddress::sourcesHint(QStringLiteral("开奖页面的主机名"));
        MessageBoxes::warning(parent, title, *summary);
    }
    return ok && !update.newDraws().empty();
}
