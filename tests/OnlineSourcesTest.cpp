#include "FixtureResultsPages.h"
#include "FixtureResultsServer.h"
#include "TestSupport.h"

#include "app/MainWindow.h"
#include "app/OnlineSourcesDialog.h"
#include "formula/FormulaUpdateDialog.h"
#include "history/OnlineUpdateDialog.h"
#include "history/SearchDaysDialog.h"
#include "history/Workspace.h"
#include "store/Settings.h"
#include "ui/MessageBoxes.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QNetworkProxy>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

const QDate kToday(2016, 1, 21);
const QString kQuestion =
    QStringLiteral("确实要在线更新最新历史号码吗？更新可能要花费一段时间，网络不通或者我方服务器"
                   "更新不及时可能都造成更新失败！");

class OnlineSources : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QSettings(QSettings::IniFormat, QSettings::UserScope, "Pelq", "Pelq").clear();
        MessageBoxes::clearAnswers();
        MessageBoxes::clearShownTexts();
        QString error;
        ASSERT_TRUE(m_ws.open(m_dir.path(), &error)) << error.toStdString();
        m_ws.setLotteryIndex(0);
        m_server.setPage(
            FixtureResultsPages::page(FixtureResultsPages::datedDraws(kToday, 1, kToday, 3, 78)));
    }
    void TearDown() override
    {
        QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);
        EXPECT_EQ(MessageBoxes::pendingAnswers(), 0) << "a pre-answered dialog was never shown";
        MessageBoxes::clearAnswers();
    }
    // The results host the user types never resolves; the fixture server answers for it as an
    // HTTP proxy, and sees the whole address asked for.
    void serveEveryHost()
    {
        QNetworkProxy::setApplicationProxy(
            QNetworkProxy(QNetworkProxy::HttpProxy, "127.0.0.1", m_server.port()));
    }

    TempDataFolder m_dir;
    Workspace m_ws;
    FixtureResultsServer m_server;
};

} // namespace

TEST_F(OnlineSources, TheConfirmationNamesTheDrawsTheAgeRuleReplaces)
{
    addDraws(m_ws, {{"160114001", "123"}, {"160114002", "456"}, {"160120078", "111"}});
    OnlineUpdateOptions options{QStringLiteral("http://127.0.0.1:%1").arg(m_server.port()), kToday, 6, 5000};
    MessageBoxes::pushAnswer(false);
    QString summary;
    EXPECT_FALSE(runOnlineHistoryUpdate(nullptr, m_ws, &summary, options));
    ASSERT_EQ(MessageBoxes::shownTexts().size(), 1);
    const QString stale = MessageBoxes::shownTexts().first();
    EXPECT_TRUE(stale.startsWith(kQuestion));
    EXPECT_TRUE(stale.contains(QStringLiteral("已超过6天"))) << stale.toStdString();
    EXPECT_TRUE(stale.contains(QStringLiteral("全部3期历史号码"))) << stale.toStdString();
    EXPECT_TRUE(stale.contains(QStringLiteral("只有在页面读取成功后才替换")));
    EXPECT_EQ(m_server.requestCount(), 0);

    // Ten days kept: the question stays as it was.
    options.searchDays = 10;
    MessageBoxes::clearShownTexts();
    MessageBoxes::pushAnswer(false);
    runOnlineHistoryUpdate(nullptr, m_ws, &summary, options);
    EXPECT_EQ(MessageBoxes::shownTexts(), QStringList{kQuestion});

    // A stored days setting outside 2..10 offers 6, as the update uses.
    m_ws.settings().setSearchDays(15);
    MessageBoxes::pushAnswer(false);
    EXPECT_FALSE(SearchDaysDialog::ask(nullptr, m_ws.settings()));
    EXPECT_EQ(MessageBoxes::lastInputDefault(), "6");
    EXPECT_EQ(m_ws.settings().searchDays(), 15);
}

TEST_F(OnlineSources, FailedUpdatesNameTheSettingsEntry)
{
    const QString closed = QStringLiteral("http://127.0.0.1:%1").arg(FixtureResultsServer::closedPort());
    MessageBoxes::pushAnswer(true);
    MessageBoxes::pushAnswer(true);
    QString summary;
    EXPECT_FALSE(runOnlineHistoryUpdate(nullptr, m_ws, &summary, {closed, kToday, 6, 5000}));
    EXPECT_TRUE(summary.contains(QStringLiteral("设置 → 在线数据源设置..."))) << summary.toStdString();
    EXPECT_TRUE(summary.contains(QStringLiteral("开奖页面的主机名")));
    EXPECT_EQ(MessageBoxes::shownTexts().last(), summary);

    // A page that holds none of the draws looked for: the source is wrong as well.
    m_server.setPage("<html><body>维护中</body></html>");
    MessageBoxes::pushAnswer(true);
    MessageBoxes::pushAnswer(true);
    EXPECT_FALSE(runOnlineHistoryUpdate(nullptr, m_ws, &summary, {m_server.baseUrl(), kToday, 6, 5000}));
    EXPECT_TRUE(summary.contains(QStringLiteral("在线数据源设置...")));

    bool kill = true;
    MessageBoxes::pushAnswer(true);
    MessageBoxes::pushAnswer(true);
    EXPECT_FALSE(
        runOnlineFormulaUpdate(nullptr, m_ws, {1, true}, &kill, &summary, {closed + "/Pelq.txt", 5000}));
    EXPECT_TRUE(summary.contains(QStringLiteral("设置 → 在线数据源设置..."))) << summary.toStdString();
    EXPECT_TRUE(summary.contains(QStringLiteral("公式文件地址")));
}

TEST_F(OnlineSources, TheDialogShowsTheAddressesTestsTheHostAndStoresOnOk)
{
    OnlineSourcesDialog dialog(&m_ws);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("在线数据源设置"));
    // The addresses in force, here the defaults, which the dialog also names.
    EXPECT_EQ(dialog.hostBox()->text(), ".kuai3.zorvane.example");
    EXPECT_EQ(dialog.formulaBox()->text(), "http://formula.kuai3.zorvane.example/Pelq.txt");
    EXPECT_TRUE(dialog.videoBox()->text().isEmpty());
    EXPECT_TRUE(dialog.slidesBox()->text().isEmpty());
    bool defaultsNamed = false;
    for (const QLabel* label : dialog.findChildren<QLabel*>())
        defaultsNamed =
            defaultsNamed || label->text().contains(QStringLiteral("默认：.kuai3.zorvane.example"));
    EXPECT_TRUE(defaultsNamed);

    // The test loads the current lottery's page with n = 1 from the host typed, without waiting
    // in the click: the dialog stays responsive until the answer comes.
    serveEveryHost();
    dialog.setTestTimeout(5000);
    dialog.hostBox()->setText(".kuai3.test:8080");
    dialog.testButton()->click();
    EXPECT_TRUE(dialog.isTesting());
    EXPECT_FALSE(dialog.testButton()->isEnabled());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dialog.isTesting(); }, 10000));
    EXPECT_TRUE(dialog.testButton()->isEnabled());
    EXPECT_EQ(m_server.lastCount(), 1);
    EXPECT_TRUE(m_server.lastTarget().startsWith("http://fj.kuai3.test:8080/"))
        << m_server.lastTarget().toStdString();
    EXPECT_TRUE(dialog.testResult()->text().startsWith(QStringLiteral("连接成功：页面上读到3期开奖号码")))
        << dialog.testResult()->text().toStdString();

    m_server.setReply(FixtureResultsServer::Reply::NotFound);
    dialog.testButton()->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dialog.isTesting(); }, 10000));
    EXPECT_TRUE(dialog.testResult()->text().startsWith(QStringLiteral("连接失败：")));
    EXPECT_TRUE(dialog.testResult()->text().contains("404"));
    // A host that makes no address is refused without a load.
    const int requests = m_server.requestCount();
    dialog.hostBox()->setText(".kuai3 test/x");
    dialog.testButton()->click();
    EXPECT_FALSE(dialog.isTesting());
    EXPECT_EQ(m_server.requestCount(), requests);
    EXPECT_TRUE(dialog.testResult()->text().contains(QStringLiteral("不正确")));

    // OK refuses a bad address, then stores all four.
    MessageBoxes::pushAnswer(true);
    dialog.accept();
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_TRUE(MessageBoxes::shownTexts().last().contains(QStringLiteral("开奖页面的主机名")));
    dialog.hostBox()->setText(".kuai3.lan:8080");
    dialog.formulaBox()->setText("http://192.168.1.10:8080/Pelq.txt");
    dialog.videoBox()->setText("http://192.168.1.10/video.mp4");
    dialog.slidesBox()->setText("/home/user/slides.pdf");
    dialog.accept();
    EXPECT_FALSE(dialog.isVisible());
    const Settings stored;
    EXPECT_EQ(stored.readString("IniSetting", "ResultsHost", ""), ".kuai3.lan:8080");
    EXPECT_EQ(stored.readString("IniSetting", "FormulaUrl", ""), "http://192.168.1.10:8080/Pelq.txt");
    EXPECT_EQ(stored.readString("IniSetting", "HelpVideoUrl", ""), "http://192.168.1.10/video.mp4");
    EXPECT_EQ(stored.readString("IniSetting", "HelpSlidesUrl", ""), "/home/user/slides.pdf");
    // The update now asks that host.
    EXPECT_EQ(OnlineHistoryUpdate::plan(m_ws, {}).pageUrl().host(), "fj.kuai3.lan");
}

TEST_F(OnlineSources, TheSettingsMenuOpensTheDialogAndCancelStoresNothing)
{
    MainWindow window(&m_ws, QString());
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QAction* entry = window.findChild<QAction*>("mnuSources");
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->text(), QStringLiteral("在线数据源设置..."));
    bool opened = false;
    QTimer::singleShot(0, [&] {
        OnlineSourcesDialog* dialog = window.sourcesDialog();
        opened = dialog && dialog->isModal() && dialog->isVisible();
        if (dialog) {
            dialog->hostBox()->setText(".elsewhere.test");
            dialog->reject();
        }
    });
    entry->trigger();
    EXPECT_TRUE(opened);
    EXPECT_EQ(window.sourcesDialog(), nullptr);
    EXPECT_EQ(Settings().readString("IniSetting", "ResultsHost", "unset"), "unset");
}
