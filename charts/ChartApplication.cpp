#include "charts/ChartApplication.h"

#include <QApplication>

namespace {

QtMessageHandler g_previousHandler = nullptr;

// The offscreen platform warns that it cannot pass a window's size hints on, for every window
// laid out; nothing is wrong with the picture, so the command line keeps its error stream for
// real errors.
void quietOffscreenHandler(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type == QtWarningMsg && message.contains(QLatin1String("propagateSizeHints")))
        return;
    if (g_previousHandler)
        g_previousHandler(type, context, message);
}

} // namespace

std::unique_ptr<QCoreApplication> ChartApplication::create(int& argc, char** argv, bool drawsCharts)
{
    if (!drawsCharts)
        return std::make_unique<QCoreApplication>(argc, argv);
    // Offscreen whatever the environment asks for: the pictures must not depend on a display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    g_previousHandler = qInstallMessageHandler(quietOffscreenHandler);
    return std::make_unique<QApplication>(argc, argv);
}
