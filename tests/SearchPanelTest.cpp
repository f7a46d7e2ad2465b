#include "SearchTestSupport.h"
#include "TestSupport.h"

#include "history/Workspace.h"
#include "search/SchemePanel.h"
#include "search/SearchPanel.h"
#include "search/SearchSettings.h"
#include "ui/MessageBoxes.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTest>
#include <gtest/gtest.h>

namespace {

const QStringList kEverything{"0", "100", "0", "32768", "0", "32768", "0", "32768", "0", "32768"};
const QStringList kNothing{"101", "102", "0", "32768", "0", "32768", "0", "32768", "0", "32768"};

// The two halves of the search window, without the window: the single search on its own, and the
// all-kinds search driving it.
class SearchPanelTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Pelq"), QStringLiteral("Pelq"))
            .clear();
        MessageBoxes::clearAnswers();
        MessageBoxes::clearShownTexts();
        QString error;
        ASSERT_TRUE(m_ws.open(m_dir.path(), &error)) << error.toStdString();
        storeDraws(m_ws, searchTestDraws(200, 7));
    }
    void TearDown() override { EXPECT_EQ(MessageBoxes::pendingAnswers(), 0); }

    template <typename T> T* child(QWidget& w, const char* name)
    {
        T* c = w.findChild<T*>(QLatin1String(name));
        EXPECT_NE(c, nullptr) << name;
        return c;
    }
    QLineEdit* box(QWidget& w, const char* name) { return child<QLineEdit>(w, name); }
    void click(QWidget& w, const char* name) { child<QAbstractButton>(w, name)->click(); }

    TempDataFolder m_dir;
    Workspace m_ws;
};

} // namespace

TEST_F(SearchPanelTest, SingleSearchRunsAndSavesWithNoSchemeBesideIt)
{
    SearchPanel search(&m_ws);
    for (int j = 0; j < 10; ++j)
        box(search, QStringLiteral("range%1").arg(j).toLatin1().constData())->setText(kEverything[j]);
    child<QCheckBox>(search, "chkAutoStop")->setChecked(true);
    box(search, "txtAutoStop")->setText("2");
    click(search, "cmdStart");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !search.isRunning(); }, 20000));
    EXPECT_EQ(search.pendingResults().size(), 2u);
    EXPECT_EQ(box(search, "txtQualified")->text(), "2");

    MessageBoxes::pushAnswer(true);
    click(search, "cmdAppend");
    EXPECT_TRUE(search.pendingResults().empty());
    EXPECT_EQ(box(search, "txtQualified")->text(), "0"); // no all-kinds search holds the box
    EXPECT_TRUE(search.formulasChangedFlag());

    // While a search runs elsewhere the kind stays and nothing new starts.
    search.enableControls(true, false);
    EXPECT_FALSE(child<QPushButton>(search, "cmdStart")->isEnabled());
    EXPECT_FALSE(child<QPushButton>(search, "cmdAppend")->isEnabled());
    EXPECT_FALSE(child<QGroupBox>(search, "fraPosition")->isEnabled());
    EXPECT_FALSE(child<QPushButton>(*search.optimumFrame(), "cmdOptimum")->isEnabled());
}

TEST_F(SearchPanelTest, SchemeDrivesTheSearchPanelsKindAndKeepsTargetsPerItsSense)
{
    SearchSettings settings(&m_ws.settings());
    for (int k : {0, 1, 2, 4, 5})
        settings.saveRanges(k, true, kNothing); // nothing qualifies: the first kind keeps running
    SearchPanel search(&m_ws);
    SchemePanel scheme(&m_ws, &search);

    // The targets are stored under the sense the single search shows.
    box(scheme, "txtTarget5")->setText("7");
    click(scheme, "cmdSaveScheme");
    click(search, "optKeep");
    click(scheme, "cmdLoadScheme");
    EXPECT_EQ(box(scheme, "txtTarget5")->text(), "60");
    click(search, "optKill");
    click(scheme, "cmdLoadScheme");
    EXPECT_EQ(box(scheme, "txtTarget5")->text(), "7");

    // Only 十位通选 has a target: the search starts there and shows it in the single search's frames.
    for (int slot : {1, 2, 3, 6})
        box(scheme, QStringLiteral("txtTarget%1").arg(slot).toLatin1().constData())->setText("");
    click(scheme, "cmdSchemeStart");
    EXPECT_TRUE(scheme.isInProgress());
    EXPECT_TRUE(scheme.isRunning());
    EXPECT_EQ(search.currentSlot(), 5);
    EXPECT_TRUE(child<QRadioButton>(search, "optGeneral")->isChecked());
    EXPECT_EQ(box(search, "txtAutoStop")->text(), "7");
    EXPECT_TRUE(QTest::qWaitFor([&] { return box(search, "txtTried")->text().toLongLong() > 0; }, 5000));

    scheme.pause();
    EXPECT_TRUE(scheme.isInProgress());
    EXPECT_FALSE(scheme.isRunning());
    scheme.discard();
    EXPECT_FALSE(scheme.isInProgress());
}
