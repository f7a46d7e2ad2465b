#include "backtest/FormulaExport.h"

#include "backtest/BacktestRunner.h"
#include "formula/FormulaTableStore.h"
#include "history/HistoryColumns.h"
#include "history/Workspace.h"

#include <QDir>

const std::array<FormulaKind, 5>& FormulaExport::allKindsOrder()
{
    static const std::array<FormulaKind, 5> order = {FormulaKind{3, true}, FormulaKind{2, true},
                                                     FormulaKind{1, true}, FormulaKind{3, false},
                                                     FormulaKind{2, false}};
    return order;
}

QString FormulaExport::kindText(const FormulaKind& kind, bool kill)
{
    return kind.kindText() + (kill ? QStringLiteral("杀") : QStringLiteral("生"));
}

QString FormulaExport::latestIssue(Workspace& workspace)
{
    const DrawRecord* newest = workspace.history().newest();
    return newest ? newest->issue : QString();
}

bool FormulaExport::entriesOf(const FormulaTableStore& store, const HistoryColumns& history,
                              const BacktestOptions& options, const FormulaKind& kind, bool kill,
                              std::vector<FormulaTextFile::Entry>* entries, QString* error)
{
    SubsetBacktest run;
    if (!BacktestRunner::yansuanCalcu(store, history, kind, kill, options, &run, error))
        return false;
    entries->clear();
    entries->reserve(run.formulas.size());
    for (std::size_t i = 0; i < run.formulas.size(); ++i)
        entries->push_back({run.formulas[i].gongshiCN, run.result.outcomes[i].stats.finalHitRun});
    return true;
}

bool FormulaExport::exportAllKinds(const FormulaTableStore& store, const HistoryColumns& history,
                                   const BacktestOptions& options, bool kill, const QString& dataFolder,
                                   const QString& latestIssue, QString* path, QString* error)
{
    // The kinds follow each other without a heading: each line's decoration names its kind.
    std::vector<FormulaTextFile::Entry> all;
    for (const FormulaKind& kind : allKindsOrder()) {
        std::vector<FormulaTextFile::Entry> entries;
        if (!entriesOf(store, history, options, kind, kill, &entries, error))
            return false;
        all.insert(all.end(), entries.begin(), entries.end());
    }
    *path = QDir(dataFolder).filePath(FormulaTextFile::allKindsFileName(latestIssue));
    return FormulaTextFile::write(*path, FormulaTextFile::allKindsLines(all), error);
}

bool FormulaExport::exportCurrentKind(const std::vector<FormulaTextFile::Entry>& rows,
                                      const FormulaKind& kind, bool kill, const QString& dataFolder,
                                      const QString& latestIssue, QString* path, QString* error)
{
    *path = QDir(dataFolder).filePath(FormulaTextFile::oneKindFileName(latestIssue, kindText(kind, kill)));
    return FormulaTextFile::write(*path, FormulaTextFile::oneKindLines(rows), error);
}

bool FormulaExport::exportAllKinds(Workspace& workspace, bool kill, QString* path, QString* error)
{
    const FormulaTableStore store(&workspace.database());
    const HistoryColumns history(workspace.history().draws());
    return exportAllKinds(store, history, BacktestOptions::fromSettings(workspace.settings()), kill,
                          workspace.dataFolder(), latestIssue(workspace), path, error);
}

bool FormulaExport::exportLines(Workspace& workspace, bool allKinds, const FormulaKind& kind, bool kill,
                                QStringList* lines, QString* error)
{
    const FormulaTableStore store(&workspace.database());
    const HistoryColumns history(workspace.history().draws());
    const BacktestOptions options = BacktestOptions::fromSettings(workspace.settings());
    std::vector<FormulaTextFile::Entry> entries;
    for (const FormulaKind& k : allKinds
                                    ? std::vector<FormulaKind>(allKindsOrder().begin(), allKindsOrder().end())
                                    : std::vector<FormulaKind>{kind}) {
        std::vector<FormulaTextFile::Entry> one;
        if (!entriesOf(store, history, options, k, kill, &one, error))
            return false;
        entries.insert(entries.end(), one.begin(), one.end());
    }
    *lines = allKinds ? FormulaTextFile::allKindsLines(entries) : FormulaTextFile::oneKindLines(entries);
    return true;
}

bool FormulaExport::exportCurrentKind(Workspace& workspace, const FormulaKind& kind, bool kill, QString* path,
                                      QString* error)
{
    const FormulaTableStore store(&workspace.database());
    const HistoryColumns history(workspace.history().draws());
    std::vector<FormulaTextFile::Entry> rows;
    return entriesOf(store, history, BacktestOptions::fromSettings(workspace.settings()), kind, kill, &rows,
                     error) &&
           exportCurrentKind(rows, kind, kill, workspace.dataFolder(), latestIssue(workspace), path, error);
}
