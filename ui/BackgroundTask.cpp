#include "ui/BackgroundTask.h"

#include <QApplication>
#include <QEventLoop>
#include <QFutureWatcher>
#include <QProgressDialog>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>

#include <atomic>
#include <memory>
#include <thread>

bool BackgroundTask::run(QWidget* parent, const QString& label,
                         const std::function<void(TaskProgress&)>& work)
{
    TaskProgress progress;
    // Set by the worker last and read after the future finished: the future already orders the
    // work before the return, but through Qt's own locks, which thread checkers do not see; this
    // flag states the same order in a way they do.
    std::atomic<bool> workDone{false};
    QFutureWatcher<void> watcher;
    QApplication::setOverrideCursor(Qt::BusyCursor);
    watcher.setFuture(QtConcurrent::run([&work, &progress, &workDone] {
        work(progress);
        workDone.store(true, std::memory_order_release);
    }));

    // Short work finishes before anyone could click: wait without taking input, so nothing
    // else runs in between.
    {
        QEventLoop quick;
        QObject::connect(&watcher, &QFutureWatcher<void>::finished, &quick, &QEventLoop::quit);
        QTimer::singleShot(400, &quick, &QEventLoop::quit);
        if (!watcher.isFinished())
            quick.exec(QEventLoop::ExcludeUserInputEvents);
    }
    if (!watcher.isFinished()) {
        // Longer work: a window-modal progress dialog takes the input (its cancel button) while
        // the main window keeps painting.
        QProgressDialog dialog(label, QStringLiteral("取消"), 0, 0, parent);
        dialog.setWindowTitle(QStringLiteral("请稍候"));
        dialog.setWindowModality(Qt::WindowModal);
        dialog.setAutoReset(false);
        dialog.setAutoClose(false);
        dialog.setMinimumDuration(0);
        QObject::connect(&dialog, &QProgressDialog::canceled, [&progress] { progress.cancelled = true; });
        QTimer ticker;
        QObject::connect(&ticker, &QTimer::timeout, &dialog, [&] {
            if (dialog.wasCanceled())
                progress.cancelled = true;
            const int total = progress.total.load();
            if (total > 0 && dialog.maximum() != total)
                dialog.setMaximum(total);
            dialog.setValue(std::clamp(progress.done.load(), 0, std::max(total, 0)));
        });
        ticker.start(100);
        dialog.show();
        QEventLoop loop;
        QObject::connect(&watcher, &QFutureWatcher<void>::finished, &loop, &QEventLoop::quit);
        if (!watcher.isFinished())
            loop.exec();
    }
    watcher.waitForFinished();
    while (!workDone.load(std::memory_order_acquire))
        std::this_thread::yield();
    QApplication::restoreOverrideCursor();
    return !progress.cancelled.load();
}
