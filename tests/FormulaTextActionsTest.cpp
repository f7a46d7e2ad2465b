#include "FixtureResultsServer.h"
#include "FormulaTestTables.h"

#include "backtest/FormulaExportActions.h"
#include "formula/FormulaClearAll.h"
#include "formula/FormulaOnlineUpdate.h"
#include "formula/FormulaTextActions.h"
#include "formula/FormulaTextFile.h"
#include "formula/FormulaUpdateDialog.h"
#include "ui/DesktopOpener.h"
#include "ui/MessageBoxes.h"

#include <QApplication>
#include <QDir>
#include <QProgressDialog>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

QString u(const char* text)
{
    return QString::fromUtf8(text);
}

class FormulaTextActionsTest : public FormulaTablesTest
{
protected:
    void SetUp() override
    {
        FormulaTablesTest::SetUp();
        MessageBoxes::clearAnswers();
        MessageBoxes::clearShownTexts();
    }
};

} // namespace

TEST_F(FormulaTextActionsTest, ImportRefreshesThenOffersTheUnrecognisedFile)
{
    EXPECT_EQ(FormulaTextActions::importFolder(m_ws), m_dir.file(u("公式文本")));
    EXPECT_TRUE(QDir(m_dir.file(u("公式文本"))).exists());

    const QString path = m_dir.file("in.TXT");
    writeFile(path,
              FormulaTextFile::encode({FormulaTextFile::banner(), u("L1A+1=下期生码十位通选"), u("L1A+2")}));
    int refreshes = 0;
    bool askedBeforeRefresh = false;
    auto refresh = [&] {
        ++refreshes;
        askedBeforeRefresh = !MessageBoxes::shownTexts().isEmpty();
    };
    bool kill = true;
    MessageBoxes::pushAnswer(true);
    EXPECT_TRUE(FormulaTextActions::importChosenFile(nullptr, m_ws, path, k1D, &kill, refresh));
    EXPECT_EQ(refreshes, 1);
    EXPECT_FALSE(askedBeforeRefresh);
    EXPECT_FALSE(kill);
    EXPECT_EQ(MessageBoxes::shownTexts(),
              QStringList{u("公式文本文件中含有无法识别公式，是否查看这些公式？")});
    EXPECT_EQ(DesktopOpener::lastRequested(), m_dir.file(u("无法识别公式.txt")));
    EXPECT_EQ(rows(k2G).size(), 2u);

    // Cancel leaves the file unopened; a name not ending in txt, or no name, does nothing.
    MessageBoxes::pushAnswer(false);
    EXPECT_TRUE(FormulaTextActions::importChosenFile(nullptr, m_ws, path, k1D, &kill, refresh));
    EXPECT_EQ(MessageBoxes::pendingAnswers(), 0);
    const QString csv = m_dir.file("in.csv");
    writeFile(csv, FormulaTextFile::encode({u("L1A+3")}));
    EXPECT_FALSE(FormulaTextActions::importChosenFile(nullptr, m_ws, csv, k1D, &kill, refresh));
    EXPECT_FALSE(FormulaTextActions::importChosenFile(nullptr, m_ws, QString(), k1D, &kill, refresh));
    EXPECT_EQ(refreshes, 2);
    EXPECT_TRUE(rows(k1D).empty());
}

TEST_F(FormulaTextActionsTest, CancellingTheClearAllQuestionDeletesNothing)
{
    store(k3D, {{"L1A+1", "L1A+1", true}});
    MessageBoxes::pushAnswer(false);
    EXPECT_FALSE(FormulaTextActions::clearAll(nullptr, m_ws));
    // The question keeps its words and says where the backup goes.
    ASSERT_EQ(MessageBoxes::shownTexts().size(), 1);
    EXPECT_TRUE(MessageBoxes::shownTexts()[0].startsWith(FormulaClearAll::question()));
    EXPECT_TRUE(MessageBoxes::shownTexts()[0].contains(QStringLiteral("恢复备份")));
    EXPECT_EQ(rows(k3D).size(), 1u);
    MessageBoxes::pushAnswer(true);
    EXPECT_TRUE(FormulaTextActions::clearAll(nullptr, m_ws));
    EXPECT_TRUE(rows(k3D).empty());
}

TEST_F(FormulaTextActionsTest, ExportsOpenTheWrittenFile)
{
    store(k2G, {{"L2A+1", "[十位通选杀]十位码+1", true}});
    EXPECT_TRUE(FormulaExportActions::exportAllKinds(nullptr, m_ws, true));
    EXPECT_EQ(DesktopOpener::lastRequested(), m_dir.file(u("期快3彩公式.txt")));
    EXPECT_TRUE(FormulaExportActions::exportCurrentKind(nullptr, m_ws, {{u("十位码+1"), 3}}, k2G, true));
    EXPECT_EQ(DesktopOpener::lastRequested(), m_dir.file(u("期快3彩十位通选杀公式.txt")));
    EXPECT_TRUE(MessageBoxes::shownTexts().isEmpty());
}

TEST_F(FormulaTextActionsTest, OnlineUpdateAsksWaitsAndReports)
{
    store(k3D, {{"L1A+1", "L1A+1", true}});
    FixtureResultsServer server;
    QStringList lines;
    for (int i = 1; i <= 80; ++i)
        lines << QStringLiteral("个位码+%1=下期生码十位通选").arg(i);
    server.setPage(FormulaTextFile::encode(lines), "text/plain");
    FormulaUpdateOptions options{server.baseUrl() + "/Pelq.txt", 20000};

    bool kill = true;
    QString summary;
    MessageBoxes::pushAnswer(false);
    EXPECT_FALSE(runOnlineFormulaUpdate(nullptr, m_ws, k1D, &kill, &summary, options));
    EXPECT_EQ(MessageBoxes::shownTexts(), QStringList{FormulaOnlineUpdate::question()});
    EXPECT_EQ(server.requestCount(), 0);
    EXPECT_TRUE(summary.isEmpty());

    // Cancelling the wait changes nothing.
    server.setReply(FixtureResultsServer::Reply::Hang);
    MessageBoxes::pushAnswer(true);
    MessageBoxes::pushAnswer(true);
    QWidget window;
    window.show();
    QTimer::singleShot(200, [] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* dialog = qobject_cast<QProgressDialog*>(w); dialog && dialog->isVisible())
                dialog->findChild<QPushButton*>()->click();
    });
    EXPECT_FALSE(runOnlineFormulaUpdate(&window, m_ws, k1D, &kill, &summary, options));
    EXPECT_EQ(summary, u("公式在线更新已取消。公式在线更新没有完成，软件中的公式没有任何改动。"));
    EXPECT_TRUE(kill);
    EXPECT_EQ(rows(k3D).size(), 1u);

    server.setReply(FixtureResultsServer::Reply::Page);
    MessageBoxes::pushAnswer(true);
    MessageBoxes::pushAnswer(true);
    EXPECT_TRUE(runOnlineFormulaUpdate(&window, m_ws, k1D, &kill, &summary, options));
    EXPECT_EQ(summary, u("公式在线更新完成：原有公式已全部删除，读入80个公式。"));
    EXPECT_EQ(MessageBoxes::shownTexts().last(), summary);
    EXPECT_FALSE(kill);
    EXPECT_TRUE(rows(k3D).empty());
    EXPECT_EQ(rows(k2G).size(), 80u);
}
