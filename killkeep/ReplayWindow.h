#pragma once

#include "killkeep/CalculationReplay.h"

#include <QWidget>

class QLabel;
class QPushButton;
class QSpinBox;
class QTableView;
class ReplayTableModel;
class Workspace;

// "计算方法回测": replays a calculation of "计算公式(&C)" over the newest K stored draws, each from
// the draws before it, and shows per draw what it marked 滤杀 and where the drawn numbers stood in
// its ranking, with the summary against chance. The replay runs in the background behind a
// progress dialog that can cancel it; "导出列表(&E)" writes the rows to "JSHC.xlsx".
class ReplayWindow : public QWidget
{
    Q_OBJECT
public:
    ReplayWindow(Workspace* workspace, QWidget* parent = nullptr);

    // The calculation to replay (kind, sense, method, keys, limit, selection). The K box's range
    // follows the history: 1 to the history minus the look-back.
    void setRequest(const CalculationRequest& request);
    const CalculationRequest& request() const { return m_request; }
    // Replays the newest K draws (K from the box). False, telling the user why, when it cannot run;
    // false also when cancelled, with the draws done so far shown.
    bool start();
    // The last replay's rows and summary (empty before the first).
    const ReplayResult& result() const { return m_result; }

    QSpinBox* drawsBox() const { return m_drawsBox; }
    QPushButton* startButton() const { return m_startButton; }
    QPushButton* exportButton() const { return m_exportButton; }
    QTableView* view() const { return m_view; }
    ReplayTableModel* model() const { return m_model; }
    QLabel* summaryLabel() const { return m_summary; }

    // A line naming the calculation: "十位通选杀码公式，最优公式法（正确率、最大连错，限额 3）".
    static QString describe(const CalculationRequest& request);

signals:
    // A replay finished, or was cancelled with rows shown.
    void replayed();

private:
    void exportList();
    void showResult();

    Workspace* m_workspace;
    CalculationRequest m_request;
    ReplayResult m_result;
    ReplayTableModel* m_model;
    QLabel* m_description;
    QSpinBox* m_drawsBox;
    QLabel* m_rangeLabel;
    QPushButton* m_startButton;
    QPushButton* m_exportButton;
    QTableView* m_view;
    QLabel* m_summary;
};
