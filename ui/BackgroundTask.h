#pragma once

#include <QString>
#include <atomic>
#include <functional>

class QWidget;

// Progress of one piece of background work: the worker counts, the window reads; the window
// sets `cancelled`, the worker looks at it between steps.
struct TaskProgress
{
    std::atomic<int> done{0};
    std::atomic<int> total{0};
    std::atomic<bool> cancelled{false};
};

// Runs long work (back-tests, rankings) on a worker thread while the window keeps painting. A
// progress dialog with a cancel button appears when the work takes longer than a moment; input
// to the window waits until the work is done, so handlers stay sequential.
class BackgroundTask
{
public:
    // Returns false when the user cancelled.
    static bool run(QWidget* parent, const QString& label, const std::function<void(TaskProgress&)>& work);
};
