#pragma once

#include <QAbstractListModel>
#include <QStringList>

// The search window's result list box: the Chinese form of every qualified candidate in the order
// of qualification, since the window opened. Saving does not clear it.
class SearchResultModel : public QAbstractListModel
{
    Q_OBJECT
public:
    using QAbstractListModel::QAbstractListModel;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    void append(const QStringList& forms);
    const QStringList& forms() const { return m_forms; }

private:
    QStringList m_forms;
};
