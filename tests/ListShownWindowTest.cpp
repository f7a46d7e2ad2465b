// What a new user meets in the main window: the list acted on is the one shown, the formula column
// stays readable on small screens, a restore of the defaults leaves no stale figures, and Qt's own
// buttons speak Chinese.
#include "FormulaTestTables.h"
#include "SyntheticHistory.h"
#include "TestSupport.h"
#include "WindowTestFixture.h"

#include "app/ChineseTranslations.h"
#include "app/MainWindow.h"
#include "backtest/FormulaGridColumns.h"
#include "backtest/FormulaGridModel.h"
#include "backtest/FormulaListPanel.h"

#include <QAction>
#include <QApplication>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTableView>
#include <QTest>
#include <QTranslator>
#include <gtest/gtest.h>

#include <memory>

namespace {

class ListShownWindow : public WindowTestFixture
{
protected:
    void append(int count, unsigned seed)
    {
        QString error;
        ASSERT_TRUE(ws.history().append(syntheticDraws(count, seed), &error)) << error.toStdString();
    }
    void TearDown() override
    {
        window.reset();
        WindowTestFixture::TearDown();
    }
    void open()
    {
        window = std::make_unique<MainWindow>(&ws, QString());
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }
    template <typename T> T* child(const char* name)
    {
        return window->findChild<T*>(QString::fromLatin1(name));
    }
    QStringList codesShown()
    {
        QStringList out;
        for (int r = 0; r < window->formulaModel()->rowCount(); ++r)
            out << window->formulaModel()->formulaAt(r).gongshi;
        return out;
    }
    QStringList stored(const FormulaKind& kind, bool kill)
    {
        QStringList out;
        for (const Row& r : tableRows(ws, kind))
            if (r.kill == kill)
                out << r.code;
        return out;
    }

    std::unique_ptr<MainWindow> window;
};

} // namespace

// 删除等价公式 deletes from the list shown: after clicking only 生 the list is reloaded for 生 first,
// and the question names the kind and the sense.
TEST_F(ListShownWindow, EquivalentDeletionActsOnTheListShownAndNamesIt)
{
    append(60, 5);
    const FormulaKind tensGeneral{2, false};
    // +6 and +9 move no prediction reduced to 1..6: L1A+6 repeats L1A, L1A+9 repeats L1A+3.
    addFormulas(ws, tensGeneral, true, {"L1A", "L1A+6", "L2A+1"}, QString());
    addFormulas(ws, tensGeneral, false, {"L1A+3", "L1A+9", "L3A"}, QString());
    open();
    child<QRadioButton>("optXing2")->click();
    child<QRadioButton>("opTDG1")->click();
    ASSERT_EQ(codesShown(), (QStringList{"L1A", "L1A+6", "L2A+1"}));

    child<QRadioButton>("Option21")->click(); // 生: the list still shows the 杀 formulas
    MessageBoxes::pushAnswer(true);
    child<QAction>("mnuDelDjgs")->trigger();
    EXPECT_TRUE(MessageBoxes::shownTexts().last().startsWith(
        QStringLiteral("将删除十位通选生码公式中的 1 条等价公式")))
        << MessageBoxes::shownTexts().last().toStdString();
    EXPECT_EQ(stored(tensGeneral, false), (QStringList{"L1A+3", "L3A"}));
    EXPECT_EQ(stored(tensGeneral, true), (QStringList{"L1A", "L1A+6", "L2A+1"}))
        << "the 杀 list was not shown";
    EXPECT_EQ(codesShown(), (QStringList{"L1A+3", "L3A"}));

    // Back to 杀: cancelled, nothing goes; confirmed, the 杀 equivalent goes.
    child<QRadioButton>("Option20")->click();
    MessageBoxes::pushAnswer(false);
    child<QAction>("mnuDelDjgs")->trigger();
    EXPECT_TRUE(
        MessageBoxes::shownTexts().last().startsWith(QStringLiteral("将删除十位通选杀码公式中的 1 条")));
    EXPECT_EQ(stored(tensGeneral, true).size(), 3);
    EXPECT_EQ(codesShown(), (QStringList{"L1A", "L1A+6", "L2A+1"}));
    MessageBoxes::pushAnswer(true);
    child<QAction>("mnuDelDjgs")->trigger();
    EXPECT_EQ(stored(tensGeneral, true), (QStringList{"L1A", "L2A+1"}));
}

// 恢复默认设置 turns the hold-out off: the 留出 columns and their figures go at once, and the
// figures are those of the restored look-back.
TEST_F(ListShownWindow, RestoringTheDefaultsLeavesNoHoldOutFigures)
{
    append(120, 7);
    addFormulas(ws, {1, true}, true, {"L1A", "L2A+1", "LH+2"}, QString());
    ws.settings().setHoldOut(20);
    ws.settings().setLookBackIndex(0);
    open();
    auto* grid = child<QTableView>("MSFlexGrid2");
    ASSERT_EQ(window->formulaModel()->heldOut(), 20);
    ASSERT_FALSE(grid->isColumnHidden(FormulaGridModel::HoldOutRateColumn));
    const int runs = window->backtestRuns();

    child<QAction>("meuHfmr")->trigger();
    EXPECT_EQ(window->backtestRuns(), runs + 1);
    EXPECT_EQ(window->formulaModel()->heldOut(), 0);
    EXPECT_TRUE(grid->isColumnHidden(FormulaGridModel::HoldOutRateColumn));
    EXPECT_TRUE(grid->isColumnHidden(FormulaGridModel::HoldOutPColumn));
    EXPECT_EQ(window->lookBackDraws(), 300);

    // Restoring again changes nothing the figures depend on: no back-test.
    child<QAction>("meuHfmr")->trigger();
    EXPECT_EQ(window->backtestRuns(), runs + 1);
}

// On a 1366×768 and a 1500×900 screen, with the chance and hold-out columns on: the formula keeps
// room for 24 characters, every other column its caption, the rates show their percentage (the
// rest in the tooltip), every formula cell shows the whole formula in its tooltip, and what does
// not fit scrolls sideways.
TEST_F(ListShownWindow, FormulaColumnsStayReadableOnSmallScreens)
{
    append(400, 9);
    const QString longest = QStringLiteral("L1A*L2A+L3A*LH+LT*L1A-L2A*2+LH*LT-L3A+L1A*LH+7");
    addFormulas(ws, {1, true}, true, {"L1A", longest, "LH+LT"}, QStringLiteral("百位码十位码个位码和数跨度"));
    ws.settings().setHoldOut(30);
    ws.settings().setShowChanceComparison(true);
    open();
    auto* grid = child<QTableView>("MSFlexGrid2");
    FormulaGridModel* m = window->formulaModel();
    ASSERT_EQ(m->heldOut(), 30);
    const int formulaRoom = grid->fontMetrics().horizontalAdvance(QString(24, QChar(0x548C)));

    for (const QSize screen : {QSize(1366, 768), QSize(1500, 900)}) {
        SCOPED_TRACE(std::to_string(screen.width()) + "x" + std::to_string(screen.height()));
        window->setGeometry(QRect(QPoint(0, 0), screen));
        QApplication::processEvents();
        EXPECT_GE(grid->columnWidth(FormulaGridModel::FormulaColumn), formulaRoom);
        const std::string at = std::to_string(screen.width());
        RecordProperty("formula_px_" + at, grid->columnWidth(FormulaGridModel::FormulaColumn));
        RecordProperty("rate_px_" + at, grid->columnWidth(FormulaGridModel::RateColumn));
        RecordProperty("viewport_px_" + at, grid->viewport()->width());
        RecordProperty("scroll_max_px_" + at, grid->horizontalScrollBar()->maximum());
        int total = 0;
        for (int c = 0; c < m->columnCount(); ++c) {
            if (grid->isColumnHidden(c))
                continue;
            total += grid->columnWidth(c);
            EXPECT_GE(grid->columnWidth(c), grid->horizontalHeader()->sectionSizeHint(c))
                << "caption of " << c;
        }
        EXPECT_FALSE(grid->isColumnHidden(FormulaGridModel::EquivalentColumn));
        EXPECT_FALSE(grid->isColumnHidden(FormulaGridModel::HoldOutPColumn));
        EXPECT_TRUE(grid->isColumnHidden(FormulaGridModel::IdxColumn));
        // The rates give way: no room for "(hits/total)" in the cell.
        EXPECT_LT(grid->columnWidth(FormulaGridModel::RateColumn),
                  grid->fontMetrics().horizontalAdvance(
                      m->data(m->index(0, FormulaGridModel::RateColumn), Qt::DisplayRole).toString()));
        if (total > grid->viewport()->width()) {
            EXPECT_GT(grid->horizontalScrollBar()->maximum(), 0) << "columns off-screen without a scroll bar";
        } else {
            EXPECT_GE(total, grid->viewport()->width() - 1)
                << "the formula column takes what the others leave";
        }
    }
    for (int r = 0; r < m->rowCount(); ++r) {
        const QModelIndex formula = m->index(r, FormulaGridModel::FormulaColumn);
        EXPECT_EQ(m->data(formula, Qt::ToolTipRole).toString(), m->data(formula, Qt::DisplayRole).toString());
        const QString rate = m->data(m->index(r, FormulaGridModel::RateColumn), Qt::DisplayRole).toString();
        EXPECT_EQ(m->data(m->index(r, FormulaGridModel::RateColumn), Qt::ToolTipRole).toString(), rate);
        EXPECT_TRUE(rate.startsWith(FormulaGridColumns::shortRate(rate) + QStringLiteral(" (")))
            << rate.toStdString();
    }
}

// Qt's own texts in Chinese: once the program's translations are in, the standard buttons of a
// message box and an input box read 确定 and 取消.
TEST(ChineseButtons, StandardButtonsReadChinese)
{
    ASSERT_TRUE(ChineseTranslations::install(qApp)) << "qt6-translations-l10n (qtbase_zh_CN.qm) is missing";
    QMessageBox box(QMessageBox::Question, QStringLiteral("删除公式"), QStringLiteral("确实要删除吗?"),
                    QMessageBox::Ok | QMessageBox::Cancel);
    box.show();
    EXPECT_EQ(box.button(QMessageBox::Ok)->text(), QStringLiteral("确定"));
    EXPECT_EQ(box.button(QMessageBox::Cancel)->text(), QStringLiteral("取消"));
    QDialogButtonBox buttons(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    EXPECT_EQ(buttons.button(QDialogButtonBox::Ok)->text(), QStringLiteral("确定"));
    EXPECT_EQ(buttons.button(QDialogButtonBox::Cancel)->text(), QStringLiteral("取消"));
    QInputDialog input;
    input.show();
    QStringList texts;
    for (const QPushButton* b : input.findChildren<QPushButton*>())
        texts << b->text();
    texts.sort();
    EXPECT_EQ(texts, (QStringList{QStringLiteral("取消"), QStringLiteral("确定")}));
    // The other tests see Qt's texts as they were.
    for (QTranslator* t : qApp->findChildren<QTranslator*>()) {
        QCoreApplication::removeTranslator(t);
        delete t;
    }
}
