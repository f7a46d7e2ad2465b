#pragma once

#include <QDialog>
#include <QString>
#include <vector>

class QPushButton;
class QStandardItemModel;
class QTableView;

// One selected formula of the last calculation as the formula grid shows it.
struct DetailListRow
{
    QString formula;   // 公式, in the grid's current form
    QString kind;      // the kind caption
    QString sense;     // "杀" or "生"
    QString nextValue; // the next-draw value
    QString rateText;  // the correct-rate text
};

// frmXxlb, "详细结果列表": the formulas that voted in a selected-formulas calculation, opened
// modally from a ranking window. "导出数据(&E)" copies the list to "gongshi.xlsx" in the data
// folder and opens it.
class DetailListWindow : public QDialog
{
    Q_OBJECT
public:
    DetailListWindow(const std::vector<DetailListRow>& rows, const QString& dataFolder,
                     QWidget* parent = nullptr);

    // The columns "序号", "公式", "类型", "生杀", "结果", "号码": the row number, then the
    // formula grid's 公式, 种类, 生杀, 计算值 and 正确率 texts in that order.
    const QStandardItemModel& model() const { return *m_model; }
    QTableView* view() const { return m_view; }
    QPushButton* exportButton() const { return m_exportButton; }
    QString exportPath() const;

    // Widths in pixels (600, 6000, 600, 600, 600, 2400 twips).
    static int columnWidthPixels(int column);

private:
    QString m_dataFolder;
    QStandardItemModel* m_model;
    QTableView* m_view;
    QPushButton* m_exportButton;
};
