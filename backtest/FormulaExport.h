#pragma once

#include "backtest/BacktestEngine.h"
#include "formula/FormulaKind.h"
#include "formula/FormulaTextFile.h"

#include <QString>
#include <array>
#include <vector>

class FormulaTableStore;
class HistoryColumns;
class Workspace;

// The Chinese text exports of the formulas ("所有类公式中文导出", "所选类公式中文导出"), written
// into the data folder in the exchange format the import reads back.
class FormulaExport
{
public:
    // The order of the all-kinds export: Gongshi3D, Gongshi2D, Gongshi1D, Gongshi3G, Gongshi2G.
    static const std::array<FormulaKind, 5>& allKindsOrder();
    // Position + selection + sense caption, for example "十位通选杀": names the current-kind file.
    static QString kindText(const FormulaKind& kind, bool kill);
    // The newest stored issue, as the window shows it; empty with an empty history.
    static QString latestIssue(Workspace& workspace);

    // One kind's formulas of one sense in idx order with their final hit runs, from an unweighted
    // back-test over the look-back window of `options` (what the grid shows after a back-test).
    static bool entriesOf(const FormulaTableStore& store, const HistoryColumns& history,
                          const BacktestOptions& options, const FormulaKind& kind, bool kill,
                          std::vector<FormulaTextFile::Entry>* entries, QString* error);

    // All kinds, sense `kill` only, each kind back-tested afresh; *path receives the file written.
    static bool exportAllKinds(const FormulaTableStore& store, const HistoryColumns& history,
                               const BacktestOptions& options, bool kill, const QString& dataFolder,
                               const QString& latestIssue, QString* path, QString* error);
    // The formula grid's rows as given (Chinese form and final hit run, in grid order).
    static bool exportCurrentKind(const std::vector<FormulaTextFile::Entry>& rows, const FormulaKind& kind,
                                  bool kill, const QString& dataFolder, const QString& latestIssue,
                                  QString* path, QString* error);

    // The same over a workspace: its database, history, look-back settings and data folder.
    static bool exportAllKinds(Workspace& workspace, bool kill, QString* path, QString* error);
    // The current kind as the grid lists it after a back-test with the workspace's settings.
    static bool exportCurrentKind(Workspace& workspace, const FormulaKind& kind, bool kill, QString* path,
                                  QString* error);
    // The lines of either export over a workspace, for a file of the user's choosing.
    static bool exportLines(Workspace& workspace, bool allKinds, const FormulaKind& kind, bool kill,
                            QStringList* lines, QString* error);
};
