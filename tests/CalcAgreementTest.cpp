// The command line's `calc` and the main window's "计算公式(&C)" over the same data folder give the
// same votes and the same rankings.

#include "CliRunner.h"
#include "SyntheticHistory.h"
#include "TestSupport.h"

#include "app/MainWindow.h"
#include "backtest/FormulaSortWindow.h"
#include "history/Workspace.h"
#include "killkeep/AllPositionsRankingWindow.h"
#include "killkeep/RankingPanel.h"
#include "killkeep/RankingWindow.h"
#include "ui/MessageBoxes.h"

#include <QAbstractItemModel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <memory>

namespace {

struct CalcCase
{
    FormulaKind kind;
    bool kill = true;
    bool best = false;
    std::vector<FormulaFigure> keys; // best method: the sort groups' choices
    int limit = 3;
    int verifyRow = -1; // "验证历史结果" of that stored draw; -1: the next draw
};

const char* keyName(FormulaFigure f)
{
    switch (f) {
    case FormulaFigure::Rate:
        return "rate";
    case FormulaFigure::MaxMiss:
        return "max_miss_run";
    case FormulaFigure::MaxHit:
        return "max_hit_run";
    case FormulaFigure::FinalMiss:
        return "final_miss_run";
    case FormulaFigure::FinalHit:
        return "final_hit_run";
    case FormulaFigure::PValue:
        return "p";
    case FormulaFigure::Excess:
        return "excess";
    }
    return "";
}

// Formulas whose predictions spread over every number, with repeats, for every kind and sense.
QStringList formulaCodes(int salt)
{
    static const QStringList terms{"L1A", "L2A", "L3A", "LH", "LT",  "L1G",
                                   "L2D", "L3E", "SQH", "LX", "L5M", "RQ"};
    QStringList codes;
    for (int i = 0; i < 40; ++i)
        codes << QStringLiteral("%1+%2*%3+%4")
                     .arg(terms[(i + salt) % terms.size()], terms[(i * 7 + salt) % terms.size()])
                     .arg(i % 4 + 1)
                     .arg((i * 5 + salt) % 11);
    codes << "L1A/0"; // never has a value: never votes
    return codes;
}

class CalcAgreement : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QSettings(QSettings::IniFormat, QSettings::UserScope, "Pelq", "Pelq").clear();
        MessageBoxes::clearAnswers();
        ws = std::make_unique<Workspace>();
        QString error;
        ASSERT_TRUE(ws->open(dir.path(), &error)) << error.toStdString();
        m_draws = syntheticDraws(400, 11);
        ASSERT_TRUE(ws->history().append(m_draws, &error)) << error.toStdString();
        int salt = 0;
        for (const FormulaKind& kind : FormulaKind::all())
            for (bool kill : {true, false})
                addFormulas(*ws, kind, kill, formulaCodes(++salt), QString());
        window = std::make_unique<MainWindow>(ws.get(), error);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }
    void TearDown() override
    {
        window.reset();
        ws.reset();
        MessageBoxes::clearAnswers();
    }
    template <typename T> T* child(const QString& name) { return window->findChild<T*>(name); }

    // Chooses the case in the window as a user would and presses "计算公式(&C)"; returns the rows of
    // the ranking window(s) in the command line's TSV form.
    QStringList windowRanking(const CalcCase& c)
    {
        child<QRadioButton>(c.kill ? "Option20" : "Option21")->click();
        child<QRadioButton>(QStringLiteral("optXing%1").arg(c.kind.position))
            ->click(); // reloads with the sense
        child<QRadioButton>(c.kind.single ? "opTDG0" : "opTDG1")->click();
        child<QRadioButton>(c.best ? "Option60" : "Option61")->click();
        if (c.verifyRow >= 0) {
            child<QLineEdit>("Text3")->setText(m_draws[c.verifyRow].issue);
            child<QRadioButton>("Option51")->click();
        } else {
            child<QRadioButton>("Option50")->click();
        }
        if (c.best)
            QTimer::singleShot(0, [this, c] {
                FormulaSortWindow* sort = window->sortWindow();
                for (int g = 0; g < FormulaSortWindow::kGroups && g < int(c.keys.size()); ++g)
                    sort->option(g, c.keys[g])->setChecked(true);
                sort->limitBox()->setText(QString::number(c.limit));
                // The window keeps the groups' earlier choices: the command line gets what it holds.
                m_sortChoice = sort->currentChoice();
                sort->confirmButton()->click();
            });
        child<QPushButton>("Command23")->click();

        std::vector<std::pair<int, QAbstractItemModel*>> models;
        if (c.kind.single) {
            AllPositionsRankingWindow* all = window->allPositionsWindow();
            for (int tab = 0; all && tab < all->panelCount(); ++tab)
                models.emplace_back(tab + 1, all->panelAt(tab)->rankingView()->model());
        } else if (RankingWindow* one = window->rankingWindow()) {
            models.emplace_back(c.kind.position, one->panel()->rankingView()->model());
        }
        QStringList rows;
        for (const auto& [position, m] : models)
            for (int r = 0; r < m->rowCount(); ++r) {
                QStringList cells{QString::number(position)};
                for (int col = 0; col < m->columnCount(); ++col)
                    cells << m->data(m->index(r, col)).toString();
                rows << cells.join('\t');
            }
        return rows;
    }

    // The ranking rows `calc` prints for the case, without its header and walk lines.
    QStringList cliRanking(const CalcCase& c)
    {
        QStringList args{"calc",
                         "--kind",
                         c.kind.code(),
                         "--sense",
                         c.kill ? "kill" : "keep",
                         "--method",
                         c.best ? "best" : "selected"};
        if (c.best) {
            QStringList keys;
            for (const FormulaOrderKey& k : m_sortChoice.keys)
                keys << QLatin1String(keyName(k.figure));
            args << "--keys" << keys.join(',') << "--limit" << QString::number(m_sortChoice.limit);
        }
        if (c.verifyRow >= 0)
            args << "--issue" << m_draws[c.verifyRow].issue;
        const CliResult r = runCli(dir.path(), args);
        EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
        QStringList lines = r.out.trimmed().split('\n');
        EXPECT_EQ(lines.value(0), "position\trank\tnumber\tvotes\tkill_votes\tkeep_votes\tverdict");
        lines.removeFirst();
        lines.removeIf([](const QString& l) { return l.startsWith("walk\t"); });
        return lines;
    }

    TempDataFolder dir;
    std::unique_ptr<Workspace> ws;
    std::unique_ptr<MainWindow> window;
    std::vector<DrawRecord> m_draws;
    FormulaSortChoice m_sortChoice;
};

} // namespace

TEST_F(CalcAgreement, CommandLineAndWindowGiveTheSameVotesAndRanking)
{
    const std::vector<CalcCase> cases{
        {{2, false}, true, false, {}, 3, -1},
        {{3, false}, false, true, {FormulaFigure::Rate, FormulaFigure::MaxHit}, 2, -1},
        {{3, true},
         true,
         true,
         {FormulaFigure::Rate, FormulaFigure::MaxMiss, FormulaFigure::FinalHit},
         4,
         -1},
        {{2, true}, false, false, {}, 3, 200},
        {{1, true}, true, true, {FormulaFigure::FinalMiss}, 3, 100},
        {{3, false}, true, true, {FormulaFigure::Rate}, 1, 399},
        {{2, false}, false, false, {}, 3, 1},
        // The p value and the excess are not stored: both sides back-test for them.
        {{2, false}, true, true, {FormulaFigure::PValue, FormulaFigure::Rate}, 3, -1},
        {{1, true}, false, true, {FormulaFigure::Excess}, 2, 150},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const CalcCase& c = cases[i];
        const QStringList fromWindow = windowRanking(c);
        const QStringList fromCli = cliRanking(c);
        EXPECT_EQ(fromWindow.size(), c.kind.single ? 10 * c.kind.position : 6) << "case " << i;
        EXPECT_EQ(fromCli, fromWindow) << "case " << i;
        // Somebody voted: the comparison is not one of empty rankings.
        EXPECT_TRUE(std::any_of(fromCli.begin(), fromCli.end(),
                                [](const QString& row) { return row.split('\t').value(3) != "0"; }))
            << "case " << i;
    }
}
