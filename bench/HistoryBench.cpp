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

// The same draws as text copied from a results page: newest first, each line with its date, time,
// separated numbers and words; read by content, sorted, derived and stored.
void HistoryImportCopiedPage(benchmark::State& state)
{
    QList<QByteArray> lines = historyText(int(state.range(0))).split('\n');
    QByteArray page = "期号 开奖时间 开奖号码\n";
    for (auto it = lines.crbegin(); it != lines.crend(); ++it) {
        const QByteArray line = it->trimmed();
        if (line.isEmpty())
            continue;
        const QByteArray issue = line.left(9), digits = line.mid(10, 3);
        page += "第" + issue + "期 20" + issue.left(2) + '-' + issue.mid(2, 2) + '-' + issue.mid(4, 2) +
                " 09:30 " + digits.left(1) + ' ' + digits.mid(1, 1) + ' ' + digits.right(1) + " 和值 大\n";
    }
    for (auto _ : state) {
        state.PauseTiming();
        QTemporaryDir dir;
        Workspace ws;
        QString error;
        ws.open(dir.path(), &error);
        state.ResumeTiming();
        HistoryImport::Options options;
        options.drawsPerDay = 78;
        const HistoryImportPlan plan = HistoryImport::plan(ws.history(), page, options);
        if (int(plan.toAdd.size()) != state.range(0) || !HistoryImport::store(&ws.history(), plan, &error))
            state.SkipWithError("import failed");
    }
}
BENCHMARK(HistoryImportCopiedPage)->Arg(30000)->Unit(benchmark::kMillisecond);

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
