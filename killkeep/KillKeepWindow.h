#pragma once

#include <QString>
#include <QWidget>

class QPushButton;
class QVBoxLayout;
class RankingBuilder;

// What the two kill/keep ranking windows share: the caption, the buttons "计算方法回测(&R)",
// "详细结果列表(&D)" and "导出列表(&E)", and the export to "ErrarrLei.xlsx" in the data folder.
// The windows are modeless: a new calculation rebuilds an open window in place.
class KillKeepWindow : public QWidget
{
    Q_OBJECT
public:
    // Writes the export sheet of `ranking` to "ErrarrLei.xlsx" in `dataFolder` and opens it;
    // tells the user when the file cannot be written or opened. True when it was written.
    static bool exportRanking(QWidget* parent, const RankingBuilder& ranking, const QString& dataFolder);

    QPushButton* replayButton() const { return m_replayButton; }
    QPushButton* detailButton() const { return m_detailButton; }
    QPushButton* exportButton() const { return m_exportButton; }

signals:
    // "详细结果列表(&D)": the main window opens the detail result list of the selected formulas.
    void detailListRequested();
    // "计算方法回测(&R)": the calculation shown is to be replayed over past draws.
    void replayRequested();

protected:
    KillKeepWindow(const QString& dataFolder, QWidget* parent);
    // Places the window's rankings above the buttons; called once by the window.
    void setContent(QWidget* content);
    // Shown after a selected-formulas calculation only.
    void setDetailButtonShown(bool shown);
    // The ranking "导出列表(&E)" writes; null when there is none yet.
    virtual const RankingBuilder* exportedRanking() const = 0;

private:
    void exportList();

    QString m_dataFolder;
    QVBoxLayout* m_layout;
    QPushButton* m_replayButton;
    QPushButton* m_detailButton;
    QPushButton* m_exportButton;
};
