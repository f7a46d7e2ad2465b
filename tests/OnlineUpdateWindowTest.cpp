#include "FixtureResultsPages.h"
#include "FixtureResultsServer.h"
#include "TestSupport.h"

#include "formula/FormulaUpdateDialog.h"
#include "history/OnlineUpdateDialog.h"
#include "history/SearchDaysDialog.h"
#include "history/Workspace.h"
#include "store/Settings.h"
#include "ui/MessageBoxes.h"

#include <QApplication>
#include <QProgressDialog>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

const QDate kToday(2016, 1, 21);
const QString kDaysMessage =
    QStringLiteral("为了保证时效性和提高计算效率，软件只能统计10天以内的数据，请输入2到10中的自然数。");

QProgressDialog* openProgressDialog()
{
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* dialog = qobject_cast<QProgressDialog*>(w); dialog && dialog->isVisible())
            return dialog;
    }
    return nullptr;
}

class OnlineUpdateWindow : public ::testing::Test
{
protected:
    void SetUp() override
    {
        MessageBoxes::clearAnswers();
        MessageBoxes::clearShownTexts();
        QString error;
        ASSERT_TRUE(m_ws.open(m_dir.path(), &error)) << error.toStdString();
        m_ws.setLotteryIndex(0);
        m_server.setPage(
            FixtureResultsPages::page(FixtureResultsPages::datedDraws(kToday, 1, kToday, 10, 78)));
    }
    OnlineUpdateOptions options(int timeoutMs = 5000) const
    {
        return {m_server.baseUrl(), kToday, 6, timeoutMs};
    }

    TempDataFolder m_dir;
    Workspace m_ws;
    FixtureResultsServer m_server;
};

} // namespace

TEST(SearchDaysDialog, AsksAgainUntilTheAnswerIsTwoToTen)
{
    MessageBoxes::clearAnswers();
    MessageBoxes::clearShownTexts();
    Settings settings;
    settings.setSearchDays(6);
    for (const char* wrong : {"11", "1", "abc"}) {
        MessageBoxes::pushAnswer(true, QString::fromLatin1(wrong));
        MessageBoxes::pushAnswer(true); // the message box
    }
    MessageBoxes::pushAnswer(true, " 7 ");
    EXPECT_TRUE(SearchDaysDialog::ask(nullptr, settings));
    EXPECT_EQ(settings.searchDays(), 7);
    EXPECT_EQ(MessageBoxes::pendingAnswers(), 0);
    EXPECT_EQ(MessageBoxes::shownTexts().count(kDaysMessage), 3);
    EXPECT_EQ(MessageBoxes::lastInputDefault(), "6");

    // An empty answer or a cancelled box changes nothing.
    MessageBoxes::pushAnswer(true, "");
    EXPECT_FALSE(SearchDaysDialog::ask(nullptr, settings));
    MessageBoxes::pushAnswer(false, "9");
    EXPECT_FALSE(SearchDaysDialog::ask(nullptr, settings));
    EXPECT_EQ(settings.searchDays(), 7);
    EXPECT_EQ(Settings().searchDays(), 7); // stored, not only remembered

    int days = 0;
    EXPECT_TRUE(SearchDaysDialog::parseDays("10", &days));
    EXPECT_EQ(days, 10);
    for (const char* wrong : {"2.5", "-3", "0x5", "１０"})
        EXPECT_FALSE(SearchDaysDialog::parseDays(QString::fromUtf8(wrong), &days)) << wrong;
}

TEST_F(OnlineUpdateWindow, DeclinedAsksNothingOfTheServer)
{
    MessageBoxes::pushAnswer(false);
    QString summary = "x";
    EXPECT_FALSE(runOnlineHistoryUpdate(nullptr, m_ws, &summary, options()));
    EXPECT_TRUE(summary.isEmpty());
    EXPECT_EQ(m_server.requestCount(), 0);
    EXPECT_TRUE(
        MessageBoxes::shownTexts().first().startsWith(QStringLiteral("确实要在线更新最新历史号码吗？")));
}

TEST_F(OnlineUpdateWindow, ConfirmedUpdateStoresAndTellsTheCounts)
{
    MessageBoxes::pushAnswer(true);
    MessageBoxes::pushAnswer(true);
    QString summary;
    EXPECT_TRUE(runOnlineHistoryUpdate(nullptr, m_ws, &summary, options()));
    EXPECT_EQ(summary, QStringLiteral("在线更新完成：新增10期，拒绝0期。"));
    EXPECT_EQ(MessageBoxes::shownTexts().last(), summary);
    EXPECT_EQ(m_ws.history().draws().size(), 10u);
    EXPECT_EQ(m_server.lastCount(), 468);
    EXPECT_EQ(openProgressDialog(), nullptr);
}

TEST_F(OnlineUpdateWindow, CancelDuringTheWaitChangesNothing)
{
    addDraws(m_ws, {{"160121001", "356"}});
    m_server.setReply(FixtureResultsServer::Reply::Hang);
    MessageBoxes::pushAnswer(true);
    MessageBoxes::pushAnswer(true);
    QWidget window;
    window.show();
    bool sawDialog = false;
    // The window's event loop runs during the wait: this timer fires and presses 取消.
    QTimer::singleShot(200, [&] {
        QProgressDialog* dialog = openProgressDialog();
        sawDialog = dialog && dialog->windowModality() == Qt::WindowModal;
        if (dialog)
            dialog->findChild<QPushButton*>()->click();
    });
    QString summary;
    EXPECT_FALSE(runOnlineHistoryUpdate(&window, m_ws, &summary, options(20000)));
    EXPECT_TRUE(sawDialog);
    EXPECT_EQ(summary, QStringLiteral("在线更新已取消。在线更新没有完成，历史号码没有任何改动。"));
    EXPECT_EQ(m_ws.history().draws().size(), 1u);
    EXPECT_EQ(MessageBoxes::pendingAnswers(), 0);
}

TEST_F(OnlineUpdateWindow, AFailedLoadIsReported)
{
    m_server.setReply(FixtureResultsServer::Reply::NotFound);
    MessageBoxes::pushAnswer(true);
    MessageBoxes::pushAnswer(true);
    QString summary;
    EXPECT_FALSE(runOnlineHistoryUpdate(nullptr, m_ws, &summary, options()));
    EXPECT_TRUE(summary.contains("HTTP 404"));
    EXPECT_EQ(MessageBoxes::shownTexts().last(), summary);
    EXPECT_TRUE(m_ws.history().draws().empty());
}

// Connections that fail say why in the program's own Chinese words, not in Qt's English: the
// server refusing, a name that does not resolve, a secure connection to a server without one, an
// answer that is no HTTP; the formula update says the same.
TEST_F(OnlineUpdateWindow, NetworkFailuresAreToldInChinese)
{
    const QString port = QString::number(FixtureResultsServer::closedPort());
    // A server that answers a secure connection's greeting in plain text.
    QTcpServer plainServer;
    ASSERT_TRUE(plainServer.listen(QHostAddress::LocalHost));
    QObject::connect(&plainServer, &QTcpServer::newConnection, [&plainServer] {
        while (QTcpSocket* socket = plainServer.nextPendingConnection()) {
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [socket] {
                socket->readAll();
                socket->write("HTTP/1.1 400 Bad Request\r\nContent-Length: 0\r\n\r\n");
                socket->disconnectFromHost();
            });
        }
    });
    struct Case
    {
        QString url;
        QString reason;
    };
    const std::vector<Case> cases = {
        {QStringLiteral("http://127.0.0.1:") + port, QStringLiteral("服务器拒绝连接")},
        {QStringLiteral("http://kuai3.zorvane-test.invalid"), QStringLiteral("找不到服务器")},
        {QStringLiteral("https://127.0.0.1:%1").arg(plainServer.serverPort()),
         QStringLiteral("无法建立安全连接（TLS/HTTPS）")},
    };
    const QStringList english = {"refused",       "not found", "Host",      "Connection", "SSL",
                                 "TLS handshake", "error",     "timed out", "Unknown"};
    for (const Case& c : cases) {
        MessageBoxes::pushAnswer(true);
        MessageBoxes::pushAnswer(true);
        QString summary;
        EXPECT_FALSE(runOnlineHistoryUpdate(nullptr, m_ws, &summary, {c.url, kToday, 6, 5000}));
        EXPECT_TRUE(summary.contains(c.reason)) << c.url.toStdString() << ": " << summary.toStdString();
        for (const QString& word : english)
            EXPECT_FALSE(summary.contains(word, Qt::CaseInsensitive)) << summary.toStdString();
        EXPECT_TRUE(m_ws.history().draws().empty());
    }
    // Garbage instead of an HTTP answer.
    m_server.setReply(FixtureResultsServer::Reply::NotHttp);
    MessageBoxes::pushAnswer(true);
    MessageBoxes::pushAnswer(true);
    QString summary;
    EXPECT_FALSE(runOnlineHistoryUpdate(nullptr, m_ws, &summary, options()));
    EXPECT_TRUE(summary.contains(QStringLiteral("无法从开奖服务器读取页面（"))) << summary.toStdString();
    for (const QString& word : english)
        EXPECT_FALSE(summary.contains(word, Qt::CaseInsensitive)) << summary.toStdString();

    // The formula update loads its file the same way.
    MessageBoxes::pushAnswer(true);
    MessageBoxes::pushAnswer(true);
    bool kill = true;
    QString formulaSummary;
    EXPECT_FALSE(runOnlineFormulaUpdate(nullptr, m_ws, {1, true}, &kill, &formulaSummary,
                                        {QStringLiteral("http://127.0.0.1:%1/Pelq.txt").arg(port), 5000}));
    EXPECT_TRUE(formulaSummary.contains(QStringLiteral("服务器拒绝连接"))) << formulaSummary.toStdString();
}
