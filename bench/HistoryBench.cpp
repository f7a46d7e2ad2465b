#include "history/HistoryImport.h"
#include "history/Workspace.h"

#include <QCoreApplication>
#include <QDate>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

// A history file of `count` consecutive draws of a 78-draw lottery.
QByteArray historyText(int count)
{
    QByteArray text;
    QDate day(2016, 1, 1);
    for (int i = 0; i < count; ++i) {
        const int seq = i % 78 + 1;
        if (i > 0 && seq == 1)
            day = day.addDays(1);
        text += day.toString("yyMMdd").toLatin1() + QByteArray::number(seq).rightJustified(3, '0') + ' ';
        for (int p = 0; p < 3; ++p)
            text += char('1' + (i * 7 + p * 3 + i / 5) % 6);
        text += "\r\n";
    }
    return text;
}

void HistoryImportLines(benchmark::State& state)
{
    const QByteArray text = historyText(int(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        QTemporaryDir dir;
        Workspace ws;
        QString error;
        ws.open(dir.path(), &error);
        QStringList problems;
        state.ResumeTiming();
        const int added = HistoryImport::importText(&ws.history(), text, 78, &problems);
        if (added != state.range(0))
            state.SkipWithError("import failed");
    }
}
BENCHMARK(HistoryImportLines)->Arg(30000)->Unit(benchmark::kMillisecond);

// Reading the whole history into the snapshot the history grid shows.
void HistoryReload(benchmark::State& state)
{
    QTemporaryDir dir;
    Workspace ws;
    QString error;
    ws.open(dir.path(), &error);
    QStringList problems;
    HistoryImport::importText(&ws.history(), historyText(int(state.range(0))), 78, &problems);
    for (auto _ : state) {
        ws.history().reload(&error);
        benchmark::DoNotOptimize(ws.history().draws().data());
    }
}
BENCHMARK(HistoryReload)->Arg(32767)->Unit(benchmark::kMillisecond);

} // namespace
