#include "search/SearchResultModel.h"

#include "search/SearchResult.h"

int SearchResultModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_forms.size());
}

QVariant SearchResultModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_forms.size() || role != Qt::DisplayRole)
        return {};
    return m_forms[index.row()] + holdOutText(m_holdOuts[std::size_t(index.row())]);
}

QString SearchResultModel::holdOutText(const ChanceFigures& holdOut)
{
    if (holdOut.tested <= 0)
        return QString();
    const QString p = !holdOut.p           ? QStringLiteral("-")
                      : *holdOut.p < 0.001 ? QStringLiteral("<0.001")
                                           : QString::number(*holdOut.p, 'f', 3);
    return QStringLiteral("　留出 %1% p=%2").arg(holdOut.plainRate(), 0, 'f', 2).arg(p);
}

void SearchResultModel::append(const std::vector<SearchResult>& results)
{
    if (results.empty())
        return;
    const int first = int(m_forms.size());
    beginInsertRows(QModelIndex(), first, first + int(results.size()) - 1);
    for (const SearchResult& r : results) {
        m_forms << r.chinese;
        m_holdOuts.push_back(r.holdOut);
    }
    endInsertRows();
}

void SearchResultModel::setResults(const std::vector<SearchResult>& results)
{
    beginResetModel();
    m_forms.clear();
    m_holdOuts.clear();
    for (const SearchResult& r : results) {
        m_forms << r.chinese;
        m_holdOuts.push_back(r.holdOut);
    }
    endResetModel();
}
