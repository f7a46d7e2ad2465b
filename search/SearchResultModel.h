#pragma once

#include "backtest/ChanceFigures.h"

#include <QAbstractListModel>
#include <QStringList>
#include <vector>

struct SearchResult;

// The search window's result list box: the Chinese form of every qualified candidate not saved yet,
// in the order of qualification, with its hold-out rate and p value after it when the search held
// draws out ("…　留出 56.67% p=0.412"). After a save it shows what is still waiting (setResults).
class SearchResultModel : public QAbstractListModel
{
    Q_OBJECT
public:
    using QAbstractListModel::QAbstractListModel;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    void append(const std::vector<SearchResult>& results);
    // Shows exactly `results` (what is still unsaved after a save, or nothing).
    void setResults(const std::vector<SearchResult>& results);
    // The Chinese forms alone, as exported.
    const QStringList& forms() const { return m_forms; }
    // Each row's hold-out figures (tested 0 without a hold-out).
    const std::vector<ChanceFigures>& holdOuts() const { return m_holdOuts; }
    // "　留出 56.67% p=0.412", empty without a hold-out.
    static QString holdOutText(const ChanceFigures& holdOut);

private:
    QStringList m_forms;
    std::vector<ChanceFigures> m_holdOuts;
};
