#pragma once

#include "killkeep/RankingBuilder.h"

#include <QAbstractTableModel>

// The ranking grid of a kill/keep window: rank, number, the three vote counts and
// "保留"/"滤杀"; a "滤杀" row is written in green, a "保留" row in black.
class RankingTableModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    explicit RankingTableModel(QObject* parent = nullptr);

    void setRanking(RankingBuilder ranking);
    const RankingBuilder& ranking() const { return m_ranking; }
    // Double-click on a grid column: re-sorts and redraws the rows and the headers.
    void resortByColumn(int column);

    // Widths of the first four columns in pixels (600, 600, 1000, 1000 twips).
    static int columnWidthPixels(int column);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    RankingBuilder m_ranking;
};
