#pragma once

#include "backtest/AnalysisOptions.h"
#include "formula/FormulaKind.h"
#include "history/HistorySession.h"

// One analysis of one data folder: the history's side (the column copy of the stored history, how
// its numbers are published, the list whose verification the history grid shows), the kind and
// sense shown, and the options every figure is computed with. Windows and commands read these
// from here and subscribe to the signals instead of passing them along; whoever changes the
// history, the formulas, the kind or an option tells the session, and every subscriber hears of it
// once.
//
// Lives on the thread that owns the window (or the command); worker threads take `columns()`, a
// snapshot that stays valid and unchanged while the session moves on to a newer history.
class AnalysisSession : public HistorySession
{
    Q_OBJECT
public:
    explicit AnalysisSession(Workspace* workspace, QObject* parent = nullptr);

    const FormulaKind& kind() const { return m_kind; }
    bool kill() const { return m_kill; }
    // Emits kindChanged when the kind or the sense differs from the current one.
    void setKind(const FormulaKind& kind, bool kill);

    const AnalysisOptions& options() const { return m_options; }
    // Stores `options` in the settings; emits optionsChanged when they differ from the current
    // ones (and the history's order reading is redone when the publication order changed).
    void setOptions(const AnalysisOptions& options);
    // After the settings were changed as a whole ("恢复默认设置", a command's flags written
    // elsewhere): reads them again, emitting optionsChanged when anything differs.
    void reloadOptions();
    // The options of this session with a command's flags laid over them, without storing them.
    void overrideOptions(const AnalysisOptions& options);

    // The formulas of `kind` changed (a search saved, a deletion, all formulas cleared).
    void formulasWereChanged(const FormulaKind& kind);
    // Formulas were stored into `kind`'s table with sense `kill` and are to be shown (a typed
    // formula, a file import, an online update): the session takes that kind and sense and emits
    // formulasChanged once. kindChanged is not emitted as well: a subscriber refreshing for the
    // new formulas reads kind() and shows the new kind in the same pass.
    void formulasWereAdded(const FormulaKind& kind, bool kill);

    // The formula list now shows `formulas` of `kind` and sense `kill`, in this order (after a
    // back-test or a re-sort): the history grid's verification columns follow it.
    void listWasShown(const FormulaKind& kind, bool kill, std::vector<ShownFormula> formulas);
    // The verification columns of the list shown, as the setting "LsXs" places them.
    VerificationBlock verificationBlock(int scrollValue) const override;

signals:
    void formulasChanged(const FormulaKind& kind);
    void kindChanged();
    // `previous` are the options before the change: a subscriber redoes only what the options it
    // depends on change.
    void optionsChanged(const AnalysisOptions& previous);

private:
    // The history side needs the publication order before the options are kept: the settings are
    // read once, here.
    AnalysisSession(Workspace* workspace, const AnalysisOptions& options, QObject* parent);

    FormulaKind m_kind{1, true};
    bool m_kill = true;
    AnalysisOptions m_options;
    // The kind and sense of the list shown (the sense can differ from the session's until the
    // list is loaded again).
    FormulaKind m_shownKind{1, true};
    bool m_shownKill = true;
};
