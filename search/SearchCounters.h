#pragma once

#include <QWidget>
#include <optional>

class QCheckBox;
class QLineEdit;
class SearchSettings;

// The counter row of the single search: "自动中止" with its number, "跳过等价公式" (kept in the
// search settings), how many candidates were tried ("当前验证公式数 … 条") and how many qualified
// ("检索合格公式数 … 合格").
class SearchCounters : public QWidget
{
    Q_OBJECT
public:
    // `settings` keeps "跳过等价公式" and outlives the row.
    explicit SearchCounters(SearchSettings* settings, QWidget* parent = nullptr);

    // The count at which a search stops, or none without "自动中止".
    std::optional<double> autoStop() const;
    void setAutoStopTarget(double target);
    QCheckBox* skipEquivalentsCheck() const { return m_distinctCheck; }
    void showTried(qint64 tried);
    void showQualified(qsizetype count);

signals:
    // "自动中止" or its number changed.
    void autoStopChanged();

private:
    QCheckBox* m_autoStopCheck = nullptr;
    QLineEdit* m_autoStopBox = nullptr;
    QCheckBox* m_distinctCheck = nullptr;
    QLineEdit* m_triedBox = nullptr;
    QLineEdit* m_qualifiedBox = nullptr;
};
