#pragma once

#include <QDialog>

class PageFetcher;
class QLabel;
class QLineEdit;
class QPushButton;
class Workspace;

// "在线数据源设置...": the addresses the online updates and the help buttons use, kept in the
// settings (section "IniSetting"): the results host after the province code ("ResultsHost"), the
// formula file ("FormulaUrl"), the demonstration video and slides ("HelpVideoUrl",
// "HelpSlidesUrl"). Each box starts with the address in force and names its default. "测试连接"
// loads the current lottery's page from the host typed (n = 1) without blocking the window and
// says how many draws it could read, or why not. OK stores the boxes (after checking the two
// update addresses), Cancel nothing.
class OnlineSourcesDialog : public QDialog
{
    Q_OBJECT
public:
    OnlineSourcesDialog(Workspace* workspace, QWidget* parent = nullptr);
    ~OnlineSourcesDialog() override;

    QLineEdit* hostBox() const { return m_hostBox; }
    QLineEdit* formulaBox() const { return m_formulaBox; }
    QLineEdit* videoBox() const { return m_videoBox; }
    QLineEdit* slidesBox() const { return m_slidesBox; }
    QPushButton* testButton() const { return m_testButton; }
    QLabel* testResult() const { return m_testResult; }
    bool isTesting() const;
    // The time a test waits for the page (tests shorten it).
    void setTestTimeout(int milliseconds) { m_testTimeoutMs = milliseconds; }

public slots:
    void accept() override;

private:
    void showAddress();
    void startTest();
    void onTestFinished();

    Workspace* m_workspace;
    PageFetcher* m_fetcher;
    int m_testTimeoutMs;
    QLineEdit* m_hostBox;
    QLabel* m_addressLabel;
    QPushButton* m_testButton;
    QLabel* m_testResult;
    QLineEdit* m_formulaBox;
    QLineEdit* m_videoBox;
    QLineEdit* m_slidesBox;
};
