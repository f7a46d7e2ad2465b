#pragma once

#include "backtest/AnalysisOptions.h"
#include "formula/FormulaKind.h"
#include "history/DrawModel.h"
#include "history/HistoryColumns.h"

#include <QObject>
#include <memory>

class Workspace;

// One analysis of one data folder: the kind and sense shown, the column copy of the stored history
// (rebuilt once per change of the history), how its numbers are published, and the options every
// figure is computed with. Windows and commands read these from here and subscribe to the signals
// instead of passing them along; whoever changes the history, the formulas, the kind or an option
// tells the session, and every subscriber hears of it once.
//
// Lives on the thread that owns the window (or the command); worker threads take `columns()`, a
// snapshot that stays valid and unchanged while the session moves on to a newer history.
class AnalysisSession : public QObject
{
    Q_OBJECT
public:
    explicit AnalysisSession(Workspace* workspace, QObject* parent = nullptr);

    Workspace& workspace() const { return *m_workspace; }

    const FormulaKind& kind() const { return m_kind; }
    bool kill() const { return m_kill; }
    // Emits kindChanged when the kind or the sense differs from the current one.
    void setKind(const FormulaKind& kind, bool kill);

    std::shared_ptr<const HistoryColumns> columns() const { return m_columns; }
    const DrawOrderReading& drawOrder() const { return m_drawOrder; }
    const DrawModel& drawModel() const { return DrawModel::of(m_drawOrder.order); }

    const AnalysisOptions& options() const { return m_options; }
    // Stores `options` in the settings; emits optionsChanged when they differ from the current
    // ones (and historyChanged's order reading is redone when the publication order changed).
    void setOptions(const AnalysisOptions& options);
    // After the settings were changed as a whole ("恢复默认设置", a command's flags written
    // elsewhere): reads them again, emitting optionsChanged when anything differs.
    void reloadOptions();
    // The options of this session with a command's flags laid over them, without storing them.
    void overrideOptions(const AnalysisOptions& options);

    // The stored history changed (a draw added or deleted, an import, an online update, a restore):
    // rebuilds the column copy and the order reading once and emits historyChanged.
    void historyWasChanged();
    // The formulas of `kind` changed (a search saved, a deletion, all formulas cleared).
    void formulasWereChanged(const FormulaKind& kind);
    // Formulas were stored into `kind`'s table with sense `kill` and are to be shown (a typed
    // formula, a file import, an online update): the session takes that kind and sense and emits
    // formulasChanged once. kindChanged is not emitted as well: a subscriber refreshing for the
    // new formulas reads kind() and shows the new kind in the same pass.
    void formulasWereAdded(const FormulaKind& kind, bool kill);
    // The database as a whole was replaced or rewritten (a backup restored, draws cut off the end
    // and the file compacted): rebuilds the column copy as historyWasChanged does and emits
    // storeReplaced once, for subscribers to read both the history and the formulas afresh.
    void storeWasReplaced();

signals:
    void historyChanged();
    void formulasChanged(const FormulaKind& kind);
    void kindChanged();
    // `previous` are the options before the change: a subscriber redoes only what the options it
    // depends on change.
    void optionsChanged(const AnalysisOptions& previous);
    void storeReplaced();

private:
    void readDrawOrder();
    void readHistory();

    Workspace* m_workspace;
    FormulaKind m_kind{1, true};
    bool m_kill = true;
    std::shared_ptr<const HistoryColumns> m_columns;
    DrawOrderReading m_drawOrder;
    AnalysisOptions m_options;
};
