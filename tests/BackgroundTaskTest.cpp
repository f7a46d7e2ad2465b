#include "ui/BackgroundTask.h"

#include <QApplication>
#include <QProgressDialog>
#include <QTimer>
#include <QWidget>
#include <gtest/gtest.h>
#include <thread>

TEST(BackgroundTask, ShortWorkRunsToTheEnd)
{
    int result = 0;
    EXPECT_TRUE(BackgroundTask::run(nullptr, "x", [&](TaskProgress& p) {
        p.total = 10;
        for (int i = 0; i < 10; ++i, ++p.done)
            result += i;
    }));
    EXPECT_EQ(result, 45);
}

TEST(BackgroundTask, LongWorkShowsProgressAndCanBeCancelled)
{
    QWidget parent;
    parent.show();
    bool sawDialog = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* d = qobject_cast<QProgressDialog*>(w); d && d->isVisible()) {
                sawDialog = true;
                d->cancel();
            }
        }
    });
    poll.start(50);
    int steps = 0;
    const bool finished = BackgroundTask::run(&parent, QStringLiteral("回测中"), [&](TaskProgress& p) {
        p.total = 1000;
        while (!p.cancelled && steps < 1000) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            ++steps;
            ++p.done;
        }
    });
    EXPECT_FALSE(finished);
    EXPECT_TRUE(sawDialog);
    EXPECT_LT(steps, 1000);
}
