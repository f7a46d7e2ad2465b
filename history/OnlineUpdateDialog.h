#pragma once

#include "history/OnlineHistoryUpdate.h"
#include "history/PageFetcher.h"

#include <QString>
#include <QUrl>

class QWidget;
class Workspace;

// The wait for the results page: a window-modal progress dialog with a cancel button. The main
// window keeps painting while the page loads but takes no other command until the load ends.
class OnlineUpdateDialog
{
public:
    // Loads `url` within `timeoutMs`; Cancelled when the user pressed "取消".
    static FetchResult load(QWidget* parent, const QUrl& url, int timeoutMs);
    // The same for another download: the dialog's text and the messages of a failed load.
    static FetchResult load(QWidget* parent, const QUrl& url, int timeoutMs, const QString& label,
                            const FetchWording& wording);
};

// The confirmation asked before an update: the question of the update, and when the age rule will
// replace the stored history, how many draws that is and that it happens only after a good page.
QString onlineHistoryQuestion(const OnlineHistoryUpdate& update);

// "开奖历史在线更新(&O)": asks for confirmation, loads the current lottery's results page while
// the progress dialog waits, stores the draws read from it and shows the outcome (added and
// rejected counts, or what went wrong and that nothing was changed, naming the settings entry of
// the source when the page could not be loaded or read) through MessageBoxes.
// `summary` receives the outcome text (empty when the user declined). Returns true when the
// history changed: the caller then refreshes its grids and re-runs the back-test.
bool runOnlineHistoryUpdate(QWidget* parent, Workspace& workspace, QString* summary,
                            const OnlineUpdateOptions& options = {});
