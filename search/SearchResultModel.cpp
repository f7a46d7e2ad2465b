#include "search/SearchResultModel.h"

int SearchResultModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_forms.size());
}

QVariant SearchResultModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_forms.size() || role != Qt::DisplayRole)
        return {};
    return m_forms[index.row()];
}

void SearchResultModel::append(const QStringList& forms)
{
    if (forms.isEmpty())
        return;
    const int first = int(m_forms.size());
    beginInsertRows(QModelIndex(), first, first + int(forms.size()) - 1);
    m_forms += forms;
    endInsertRows();
}
