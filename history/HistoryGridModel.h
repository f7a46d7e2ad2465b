#pragma once

#include "history/DrawRecord.h"
#include "history/VerificationBlock.h"

#include <QAbstractTableModel>
#include <vector>

// The history grid of the main window: one row per stored draw, oldest first; columns "期号",
// "百位", "十位", "个位". The number columns the current formula kind predicts are shown bold
// in blue. While the per-draw verification display is on, columns 4 … hold one block of formula
// columns (VerificationBlock): headed "公式" + n / "式" + n by the formula's own number, the
// predicted number on a blue (came true) or green (did not) background.
class HistoryGridModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    explicit HistoryGridModel(QObject* parent = nullptr);

    // Takes a new snapshot of the history (call after every change of the history).
    void setDraws(const std::vector<DrawRecord>* draws);
    // Emphasised number columns: first..3 (1 = 百位, 2 = 十位, 3 = 个位); 0 for none.
    void setEmphasis(int firstColumn, int lastColumn);
    int emphasisFirst() const { return m_emphasisFirst; }
    int emphasisLast() const { return m_emphasisLast; }
    const DrawRecord* drawAt(int row) const;

    // The formula columns of the verification display. A new snapshot of the history drops them
    // (they belong to the old draws); so does a block computed over a different number of draws.
    void setVerificationBlock(VerificationBlock block);
    void clearVerificationBlock();
    const VerificationBlock& verificationBlock() const { return m_block; }
    // Width of a formula column: 760 twips.
    static constexpr int kFormulaColumnWidthPixels = 760 / 15;
    static constexpr int kFixedColumns = 4;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    QVariant formulaData(int formula, int row, int role) const;

    const std::vector<DrawRecord>* m_draws = nullptr;
    int m_emphasisFirst = 0;
    int m_emphasisLast = 0;
    VerificationBlock m_block;
};
