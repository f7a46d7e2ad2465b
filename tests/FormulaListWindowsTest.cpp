#include "TestSupport.h"

#include "backtest/DetailListWindow.h"
#include "backtest/FormulaFilterWindow.h"
#include "backtest/FormulaSortWindow.h"
#include "ui/DesktopOpener.h"
#include "ui/MessageBoxes.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QFile>
#include <QFocusEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardItemModel>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>

namespace {

// Runs `step` once the modal window's event loop is up, so it can answer the window.
void whenShown(QWidget* window, std::function<void()> step)
{
    QTimer::singleShot(0, window, [window, step] {
        EXPECT_TRUE(window->isVisible());
        step();
    });
}

const std::vector<FormulaFigures> kFormulas = {
    {1, 85.333336f, 3, 9, 0, 4},
    {2, 66.66667f, 5, 4, 2, 0},
    {3, 71.428571f, 2, 7, 1, 0},
    {4, 100.0f, 0, 12, 0, 12},
};

struct MessageBoxScope
{
    MessageBoxScope()
    {
        MessageBoxes::clearAnswers();
        MessageBoxes::clearShownTexts();
    }
    ~MessageBoxScope() { MessageBoxes::clearAnswers(); }
};

} // namespace

TEST(FormulaSortWindow, ConfirmedChoiceAndTheLimitResetOnEveryOpening)
{
    FormulaSortWindow w;
    EXPECT_EQ(w.windowTitle(), QStringLiteral("公式排序设置"));
    EXPECT_TRUE(w.option(0, FormulaFigure::Rate)->isChecked());
    EXPECT_FALSE(w.option(1, FormulaFigure::Rate)->isChecked());
    EXPECT_EQ(w.confirmButton()->text(), QStringLiteral("确定(&O)"));

    w.limitBox()->setText("7");
    whenShown(&w, [&] {
        EXPECT_EQ(w.limitBox()->text(), "3");
        w.option(2, FormulaFigure::MaxMiss)->setChecked(true);
        w.limitBox()->setText("2.5");
        w.confirmButton()->click();
    });
    const FormulaSortChoice first = w.ask();
    ASSERT_TRUE(first.hasFirstKey());
    // The second group has no option: it is left out of the ordering.
    EXPECT_EQ(first.keys,
              (std::vector<FormulaOrderKey>{{FormulaFigure::Rate, true}, {FormulaFigure::MaxMiss, false}}));
    EXPECT_EQ(first.limit, 2);

    // The options stay, the limit goes back to 3.
    whenShown(&w, [&] {
        EXPECT_EQ(w.limitBox()->text(), "3");
        w.option(0, FormulaFigure::FinalHit)->setChecked(true);
        w.option(1, FormulaFigure::FinalMiss)->setChecked(true);
        w.confirmButton()->click();
    });
    const FormulaSortChoice second = w.ask();
    EXPECT_EQ(second.keys, (std::vector<FormulaOrderKey>{{FormulaFigure::FinalHit, true},
                                                         {FormulaFigure::FinalMiss, false},
                                                         {FormulaFigure::MaxMiss, false}}));
    EXPECT_EQ(second.limit, 3);
}

TEST(FormulaSortWindow, ClosedWithoutConfirmingHasNoFirstKey)
{
    FormulaSortWindow w;
    whenShown(&w, [&] { w.reject(); });
    EXPECT_FALSE(w.ask().hasFirstKey());
    EXPECT_FALSE(w.isVisible());
}

TEST(FormulaFilterWindow, PrefilledBoxesKeepEverySelectedFormula)
{
    MessageBoxScope boxes;
    FormulaFilterWindow w;
    EXPECT_EQ(w.windowTitle(), QStringLiteral("公式过滤设置窗口"));
    std::vector<bool> selected = {true, true, true, false};
    MessageBoxes::pushAnswer(true);
    whenShown(&w, [&] {
        EXPECT_EQ(w.box(0)->text(), "66.66667");
        EXPECT_EQ(w.box(1)->text(), "85.33334");
        EXPECT_EQ(w.box(2)->text(), "2");
        EXPECT_EQ(w.box(3)->text(), "5");
        w.confirmButton()->click();
    });
    EXPECT_TRUE(w.run(kFormulas, &selected));
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(selected, (std::vector<bool>{true, true, true, false}));
    EXPECT_EQ(MessageBoxes::shownTexts(), QStringList{QStringLiteral("过滤后公式剩余3条")});
    EXPECT_EQ(MessageBoxes::pendingAnswers(), 0);
}

TEST(FormulaFilterWindow, FinalMissFromZeroToZero)
{
    MessageBoxScope boxes;
    FormulaFilterWindow w;
    std::vector<bool> selected(kFormulas.size(), true);
    MessageBoxes::pushAnswer(true);
    whenShown(&w, [&] {
        w.box(6)->setText("0");
        w.box(7)->setText("0");
        w.confirmButton()->click();
    });
    EXPECT_TRUE(w.run(kFormulas, &selected));
    EXPECT_EQ(selected, (std::vector<bool>{true, false, false, true}));
    EXPECT_EQ(MessageBoxes::shownTexts(), QStringList{QStringLiteral("过滤后公式剩余2条")});
}

TEST(FormulaFilterWindow, ClosingChangesNothingAndEmptySelectionPrefills)
{
    MessageBoxScope boxes;
    FormulaFilterWindow w;
    std::vector<bool> selected(kFormulas.size(), false);
    whenShown(&w, [&] {
        EXPECT_EQ(w.box(0)->text(), "100");
        EXPECT_EQ(w.box(1)->text(), "0");
        EXPECT_EQ(w.box(8)->text(), "32767");
        EXPECT_EQ(w.box(9)->text(), "0");
        w.reject();
    });
    EXPECT_FALSE(w.run(kFormulas, &selected));
    EXPECT_TRUE(MessageBoxes::shownTexts().isEmpty());
}

TEST(FormulaSortWindow, OffersThePValueAndTheExcess)
{
    FormulaSortWindow w;
    for (int g = 0; g < FormulaSortWindow::kGroups; ++g) {
        ASSERT_NE(w.option(g, FormulaFigure::PValue), nullptr);
        EXPECT_EQ(w.option(g, FormulaFigure::PValue)->text(), QStringLiteral("p值"));
        EXPECT_EQ(w.option(g, FormulaFigure::Excess)->text(), QStringLiteral("超出"));
    }
    whenShown(&w, [&] {
        w.option(0, FormulaFigure::PValue)->setChecked(true);
        w.option(1, FormulaFigure::Excess)->setChecked(true);
        w.confirmButton()->click();
    });
    EXPECT_EQ(w.ask().keys,
              (std::vector<FormulaOrderKey>{{FormulaFigure::PValue, false}, {FormulaFigure::Excess, true}}));
}

TEST(FormulaFilterWindow, FiltersByPValueAtMostAndExcessAtLeast)
{
    MessageBoxScope boxes;
    FormulaFilterWindow w;
    std::vector<FormulaFigures> formulas = kFormulas;
    const double p[] = {0.003, 0.2, 0.04, 1.0};
    const double excess[] = {4.5, 0.5, 1.5, 0};
    for (std::size_t i = 0; i < formulas.size(); ++i) {
        formulas[i].pValue = p[i];
        formulas[i].excess = excess[i];
    }
    const int pRow = int(FormulaFigure::PValue), excessRow = int(FormulaFigure::Excess);
    std::vector<bool> selected(formulas.size(), true);
    MessageBoxes::pushAnswer(true);
    whenShown(&w, [&] {
        EXPECT_EQ(w.box(2 * pRow)->text(), "0.003");
        EXPECT_EQ(w.box(2 * pRow + 1)->text(), "1");
        EXPECT_EQ(w.box(2 * excessRow)->text(), "0");
        w.box(2 * pRow + 1)->setText("0.05");
        w.box(2 * excessRow)->setText("2");
        w.confirmButton()->click();
    });
    EXPECT_TRUE(w.run(formulas, &selected));
    EXPECT_EQ(selected, (std::vector<bool>{true, false, false, false}));
    EXPECT_EQ(MessageBoxes::shownTexts(), QStringList{QStringLiteral("过滤后公式剩余1条")});
}

TEST(FormulaFilterWindow, EnteringABoxSelectsItsText)
{
    FormulaFilterWindow w;
    w.box(4)->setText("12");
    QFocusEvent focusIn(QEvent::FocusIn, Qt::TabFocusReason);
    QApplication::sendEvent(w.box(4), &focusIn);
    QApplication::processEvents();
    EXPECT_EQ(w.box(4)->selectedText(), "12");
}

TEST(DetailListWindow, ListsTheRowsAndExportsThem)
{
    MessageBoxScope boxes;
    TempDataFolder dir;
    const std::vector<DetailListRow> rows = {
        {QStringLiteral("百位+3"), QStringLiteral("个位单选"), QStringLiteral("杀"), "4",
         "85.33334% (256/300)"},
        {QStringLiteral("十位*2"), QStringLiteral("个位单选"), QStringLiteral("杀"), "7",
         "66.66667% (200/300)"},
    };
    DetailListWindow w(rows, dir.path());
    QAbstractItemModelTester tester(const_cast<QStandardItemModel*>(&w.model()),
                                    QAbstractItemModelTester::FailureReportingMode::Fatal);
    EXPECT_EQ(w.windowTitle(), QStringLiteral("详细结果列表"));
    EXPECT_TRUE(w.isModal());
    ASSERT_EQ(w.model().rowCount(), 2);
    QStringList headers;
    for (int c = 0; c < w.model().columnCount(); ++c)
        headers << w.model().headerData(c, Qt::Horizontal).toString();
    EXPECT_EQ(headers, (QStringList{"序号", "公式", "类型", "生杀", "结果", "号码"}));
    EXPECT_EQ(w.model().item(1, 0)->text(), "2");
    EXPECT_EQ(w.model().item(1, 1)->text(), QStringLiteral("十位*2"));
    EXPECT_EQ(w.model().item(0, 4)->text(), "4");
    EXPECT_EQ(w.model().item(0, 5)->text(), "85.33334% (256/300)");
    EXPECT_EQ(w.exportButton()->text(), QStringLiteral("导出数据(&E)"));

    w.exportButton()->click();
    EXPECT_TRUE(QFile::exists(dir.file("gongshi.xlsx")));
    EXPECT_EQ(DesktopOpener::lastRequested(), dir.file("gongshi.xlsx"));
    EXPECT_TRUE(MessageBoxes::shownTexts().isEmpty());
}
