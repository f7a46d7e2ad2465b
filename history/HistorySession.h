#pragma once

#include "history/DrawModel.h"
#include "history/HistoryColumns.h"
#include "history/VerificationBlock.h"

#include <QObject>
#include <QString>
#include <memory>
#include <optional>
#include <vector>

class Workspace;

// The history's side of an analysis session: the column copy of the stored history (rebuilt once
// per change), how its numbers are published, and the formula list whose per-draw verification
// the history grid shows beside the draws. The history's windows take the session by this part,
// which needs nothing above the history; the analysis session of the back-test is the one there is,
// and computes the verification columns.
//
// Whoever changes the stored history tells the session once (historyWasChanged, storeWasReplaced)
// and every subscriber hears of it once.
class HistorySession : public QObject
{
    Q_OBJECT
public:
    HistorySession(Workspace* workspace, PublicationOrder publicationOrder, QObject* parent = nullptr);

    Workspace& workspace() const { return *m_workspace; }

    // A snapshot: worker threads keep it, valid and unchanged, while the session moves on.
    std::shared_ptr<const HistoryColumns> columns() const { return m_columns; }
    const DrawOrderReading& drawOrder() const { return m_drawOrder; }
    const DrawModel& drawModel() const { return DrawModel::of(m_drawOrder.order); }

    // The stored history changed (a draw added or deleted, an import, an online update): rebuilds
    // the column copy and the order reading once and emits historyChanged.
    void historyWasChanged();
    // The database as a whole was replaced or rewritten (a backup restored, draws cut off the end
    // and the file compacted): rebuilds the column copy as historyWasChanged does and emits
    // storeReplaced once, for subscribers to read both the history and the formulas afresh.
    void storeWasReplaced();

    // One formula of the list shown, in list order: its text and its Chinese form.
    struct ShownFormula
    {
        QString text;
        QString chineseForm;
    };
    // How many formulas the list shows, and the Chinese form of formula number n (n from 1), or
    // nothing when the list holds no such formula: the history workbook's column headers.
    int shownFormulaCount() const { return int(m_shown.size()); }
    std::optional<QString> shownFormulaName(int number) const;
    // The block of verification columns that scroll value shows, over the current history.
    virtual VerificationBlock verificationBlock(int scrollValue) const = 0;

signals:
    void historyChanged();
    void storeReplaced();
    // The list shown was back-tested or put into another order: the verification columns follow.
    void shownFormulasChanged();

protected:
    const std::vector<ShownFormula>& shownFormulas() const { return m_shown; }
    // Takes the list shown and emits shownFormulasChanged.
    void setShownFormulas(std::vector<ShownFormula> formulas);
    // Reads the history's order again under another setting (no signal: the caller announces it).
    void setPublicationOrder(PublicationOrder publicationOrder);

private:
    void readHistory();
    void readDrawOrder();

    Workspace* m_workspace;
    PublicationOrder m_publicationOrder;
    std::shared_ptr<const HistoryColumns> m_columns;
    DrawOrderReading m_drawOrder;
    std::vector<ShownFormula> m_shown;
};
