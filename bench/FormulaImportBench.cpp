#include "formula/FormulaImport.h"
#include "formula/FormulaTableStore.h"
#include "formula/FormulaTextFile.h"
#include "formula/FormulaTranslation.h"
#include "history/Workspace.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

// A formula file of `count` lines as the search and the exports write them: Chinese forms in
// bracket and next-draw form over all five kinds, runs of 500 lines per kind, statistics tails.
QByteArray formulaFile(int count)
{
    const QStringList kinds{QStringLiteral("个位单选"), QStringLiteral("十位单选"),
                            QStringLiteral("百位单选"), QStringLiteral("十位通选"),
                            QStringLiteral("百位通选")};
    const QStringList terms{QStringLiteral("百位码"), QStringLiteral("十位大小"), QStringLiteral("个位5余"),
                            QStringLiteral("和数"),   QStringLiteral("跨度"),     QStringLiteral("本期号合"),
                            QStringLiteral("质数个"), QStringLiteral("除3余0")};
    QStringList lines{FormulaTextFile::banner(), QString()};
    for (int i = 0; i < count; ++i) {
        const QString kind = kinds[(i / 500) % kinds.size()];
        const QString expression = terms[i % 8] + '+' + terms[(i / 8) % 8] + '+' + terms[(i / 64) % 8] + '+' +
                                   QString::number(i % 97);
        const QString text = i % 2 ? QStringLiteral("[%1杀]%2").arg(kind, expression)
                                   : QStringLiteral("%1=下期杀码%2").arg(expression, kind);
        lines << text + QString(11, QChar(0x3000)) + QStringLiteral("连准：%1期").arg(i % 13);
    }
    return FormulaTextFile::encode(lines);
}

void FormulaImportLines(benchmark::State& state)
{
    QTemporaryDir files;
    const QString path = files.filePath(QStringLiteral("formulas.txt"));
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(formulaFile(int(state.range(0))));
    f.close();
    for (auto _ : state) {
        state.PauseTiming();
        QTemporaryDir dir;
        Workspace ws;
        QString error;
        ws.open(dir.path(), &error);
        FormulaImportOptions options;
        options.unrecognisedPath = dir.filePath(FormulaImport::unrecognisedFileName());
        FormulaImportResult result;
        state.ResumeTiming();
        if (!FormulaImport(&ws.database(), options).importFile(path, &result, &error) ||
            result.added != state.range(0))
            state.SkipWithError("import failed");
    }
}
BENCHMARK(FormulaImportLines)->Arg(30000)->Unit(benchmark::kMillisecond);

const QStringList kKindCaptions{QStringLiteral("个位单选"), QStringLiteral("十位单选"),
                                QStringLiteral("百位单选"), QStringLiteral("十位通选"),
                                QStringLiteral("百位通选")};

// Imports `lines` into a fresh data folder whose tables `fill` has filled, timing the import only.
template <typename Fill>
void timeImport(benchmark::State& state, const QStringList& lines, int expectedAdded, Fill fill)
{
    for (auto _ : state) {
        state.PauseTiming();
        QTemporaryDir dir;
        Workspace ws;
        QString error;
        ws.open(dir.path(), &error);
        fill(ws);
        FormulaImportOptions options;
        options.unrecognisedPath = dir.filePath(FormulaImport::unrecognisedFileName());
        FormulaImportResult result;
        state.ResumeTiming();
        if (!FormulaImport(&ws.database(), options).importLines(lines, &result, &error) ||
            result.added != expectedAdded)
            state.SkipWithError("import failed");
    }
}

// 10,000 lines whose kind changes 3,603 times: each return to a kind removes that table's repeats.
void FormulaImportAlternatingKinds(benchmark::State& state)
{
    const int count = 10000;
    const int changes = 3603;
    QStringList lines;
    for (int i = 0; i < count; ++i) {
        const int run = int((qint64(i) + 1) * changes / count); // rises by one 3,603 times
        lines << QStringLiteral("[%1杀]百位码+和数+%2").arg(kKindCaptions[run % 5]).arg(i % 701);
    }
    timeImport(state, lines, count, [](Workspace&) {});
}
BENCHMARK(FormulaImportAlternatingKinds)->Unit(benchmark::kMillisecond);

// 1,000 lines that alternate between two kinds whose tables hold 10,000 formulas each.
void FormulaImportAlternatingBigTables(benchmark::State& state)
{
    QStringList lines;
    for (int i = 0; i < 1000; ++i)
        lines << QStringLiteral("[%1杀]十位码+跨度+%2").arg(kKindCaptions[i % 2]).arg(i);
    std::vector<FormulaRecord> stored;
    for (int i = 0; i < 10000; ++i) {
        FormulaRecord r;
        r.gongshi = QStringLiteral("L1A+LH+%1").arg(i);
        r.gongshiCN = QStringLiteral("百位码+和数+%1").arg(i);
        stored.push_back(r);
    }
    timeImport(state, lines, 1000, [&stored](Workspace& ws) {
        FormulaTableStore store(&ws.database());
        QString error;
        store.append({1, true}, stored, &error);
        store.append({2, true}, stored, &error);
    });
}
BENCHMARK(FormulaImportAlternatingBigTables)->Unit(benchmark::kMillisecond);

// Translating one line of "百位码+" repeated 200,000 times.
void FormulaTranslateLongLine(benchmark::State& state)
{
    const QString line = QStringLiteral("百位码+").repeated(200000);
    for (auto _ : state) {
        const QString code = FormulaTranslation::translateGongshiCN(line);
        if (code.size() != 4 * 200000 || !code.startsWith(QStringLiteral("L1A+L1A+")))
            state.SkipWithError("wrong translation");
    }
}
BENCHMARK(FormulaTranslateLongLine)->Unit(benchmark::kMillisecond);

} // namespace
