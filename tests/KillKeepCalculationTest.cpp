#include "TestSupport.h"

#include "backtest/FormulaGridModel.h"
#include "backtest/FormulaSortWindow.h"
#include "formula/FormulaTableStore.h"
#include "history/HistoryColumns.h"
#include "history/Workspace.h"
#include "killkeep/KillKeepCalculation.h"
#include "killkeep/RankingPanel.h"
#include "killkeep/RankingWindow.h"
#include "ui/MessageBoxes.h"

#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTableView>
#include <QTimer>
#include <gtest/gtest.h>

// The calculation outside the main window: it reads the list's flags and its own tables, and
// tells the user, opening no window, what it cannot calculate.
TEST(KillKeepCalculation, VotesTheListsSelectedFormulasAndRefusesWhatItCannotCalculate)
{
    QSettings(QSettings::IniFormat, QSettings::UserScope, "Pelq", "Pelq").clear();
    MessageBoxes::clearAnswers();
    TempDataFolder dir;
    Workspace ws;
    QString error;
    ASSERT_TRUE(ws.open(dir.path(), &error)) << error.toStdString();
    const FormulaKind general{2, false};
    addFormulas(ws, general, true, {"2", "2", "5"}, QString());
    FormulaGridModel list;
    QWidget window;
    KillKeepCalculation calculation(&ws, &list, &window);
    KillKeepCalculation::Request request;
    request.kind = general;
    request.bestMethod = false;

    MessageBoxes::pushAnswer(true);
    calculation.run(HistoryColumns(ws.history().draws()), request);
    EXPECT_EQ(MessageBoxes::shownTexts().last(), QStringLiteral("没有历史号码，无法计算公式。"));
    EXPECT_EQ(calculation.rankingWindow(), nullptr);

    addDraws(ws, {{"160121001", "123"}, {"160121002", "456"}, {"160121003", "111"}});
    const HistoryColumns history(ws.history().draws());
    request.verify = true;
    request.verifiedIssue = "160121001"; // the oldest draw has none before it
    MessageBoxes::pushAnswer(true);
    calculation.run(history, request);
    EXPECT_TRUE(MessageBoxes::shownTexts().last().contains("160121001"));
    EXPECT_EQ(calculation.rankingWindow(), nullptr);

    // The list shows the table with its "5" deselected: only the two "2" vote.
    std::vector<FormulaRecord> rows;
    ASSERT_TRUE(FormulaTableStore(&ws.database()).loadSubset(general, true, &rows, &error));
    list.setFormulas(general, std::move(rows));
    list.setSelected(2, false);
    request.verify = false;
    calculation.run(history, request);
    RankingWindow* ranking = calculation.rankingWindow();
    ASSERT_NE(ranking, nullptr);
    EXPECT_TRUE(ranking->isVisible());
    EXPECT_FALSE(ranking->detailButton()->isHidden()); // selected formulas: the detail list is offered
    const QAbstractItemModel* m = ranking->panel()->rankingView()->model();
    ASSERT_EQ(m->rowCount(), 6);
    EXPECT_EQ(m->data(m->index(5, 1)).toString(), "2"); // most killed last, with its two votes
    EXPECT_EQ(m->data(m->index(5, 2)).toString(), "2");
    EXPECT_EQ(m->data(m->index(4, 2)).toString(), "0"); // "5" did not vote
    EXPECT_EQ(MessageBoxes::pendingAnswers(), 0);
}

// The best method ordered by the p value: the figures come from a back-test at the time of the
// calculation, since they are not stored.
TEST(KillKeepCalculation, BestMethodByThePValue)
{
    QSettings(QSettings::IniFormat, QSettings::UserScope, "Pelq", "Pelq").clear();
    MessageBoxes::clearAnswers();
    TempDataFolder dir;
    Workspace ws;
    QString error;
    ASSERT_TRUE(ws.open(dir.path(), &error)) << error.toStdString();
    // Every draw 1 1 1: killing 1 is always wrong, killing 2 always right.
    for (int i = 0; i < 60; ++i)
        addDraws(ws, {{qPrintable(QString::number(160121001 + i)), "111"}});
    const FormulaKind general{2, false};
    addFormulas(ws, general, true, {"1", "2"}, QString());
    FormulaGridModel list;
    QWidget window;
    KillKeepCalculation calculation(&ws, &list, &window);
    KillKeepCalculation::Request request;
    request.kind = general;
    request.bestMethod = true;
    const HistoryColumns history(ws.history().draws());
    auto votedNumber = [&](FormulaFigure key) {
        QTimer::singleShot(0, [&] {
            FormulaSortWindow* sort = calculation.sortWindow();
            sort->option(0, key)->setChecked(true);
            sort->limitBox()->setText("5"); // kill: the walk stops at the first number named
            sort->confirmButton()->click();
        });
        calculation.run(history, request);
        const QAbstractItemModel* m = calculation.rankingWindow()->panel()->rankingView()->model();
        return m->data(m->index(5, 1)).toString(); // the most killed number comes last
    };
    // No figures stored yet: by the rate both tie and idx decides; by the p value "2" leads.
    EXPECT_EQ(votedNumber(FormulaFigure::Rate), "1");
    EXPECT_EQ(votedNumber(FormulaFigure::PValue), "2");
    EXPECT_EQ(votedNumber(FormulaFigure::Excess), "2");
    EXPECT_EQ(MessageBoxes::pendingAnswers(), 0);
}
