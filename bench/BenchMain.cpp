#include <QCoreApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

// Every benchmark program: settings go to a throw-away folder, never the real user's.
int main(int argc, char** argv)
{
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
