#include "formula/FormulaImport.h"
#include "formula/FormulaTextFile.h"
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

} // namespace
