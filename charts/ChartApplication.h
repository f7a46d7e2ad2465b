#pragma once

#include <QCoreApplication>
#include <memory>

// The application object of the command line. Drawing charts needs the full widget application,
// on the offscreen platform so no display is needed; every other command keeps the core one,
// which loads no graphics at all.
class ChartApplication
{
public:
    static std::unique_ptr<QCoreApplication> create(int& argc, char** argv, bool drawsCharts);
};
