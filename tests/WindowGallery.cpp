// Opens every window of the program over a demonstration data folder and saves a picture of each
// one, so their layout can be checked on a given screen: scripts/window-gallery.sh runs it under a
// virtual display of a chosen size. Not a test: it asserts nothing.

#include "IsolatedEnvironment.h"
#include "SearchTestSupport.h"
#include "SyntheticHistory.h"
#include "TestSupport.h"

#include "app/MainWindow.h"
#include "backtest/FormulaGridModel.h"
#include "backtest/FormulaSortWindow.h"
#include "history/Workspace.h"
#include "killkeep/KillKeepWindow.h"
#include "killkeep/RankingWindow.h"
#include "search/SearchWindow.h"
#include "ui/MessageBoxes.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cstdio>

namespace {

QString g_outDir;

void save(QWidget* w, const QString& name)
{
    if (!QTest::qWaitForWindowExposed(w))
        std::fprintf(stderr, "%s was never shown\n", qPrintable(name));
    QTest::qWait(150);
    const QString path = QDir(g_outDir).filePath(name + ".png");
    w->grab().save(path);
    std::printf("%s %dx%d\n", qPrintable(path), w->width(), w->height());
}

void saveTopLevels(const QString& prefix)
{
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->isVisible() && !qobject_cast<MainWindow*>(w))
            save(w, prefix + (w->objectName().isEmpty() ? QString::fromLatin1(w->metaObject()->className())
                                                        : w->objectName()));
    }
}

void hideAllBut(QWidget* window)
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w != window && w->isVisible())
            w->hide();
}

} // namespace

int main(int argc, char* argv[])
{
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    // Demonstration settings and data of its own: the user's stay as they are.
    IsolatedEnvironment isolated;
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Zorvane"));
    g_outDir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath();
    QDir().mkpath(g_outDir);
    QTemporaryDir data;

    Workspace ws;
    QString error;
    ws.open(data.path(), &error);
    storeDraws(ws, syntheticDraws(600, 7));
    const QStringList demo{"L1A+L2A+1",    "LT*2+LH", "(L1A MOD 3)+LH*2",   "L3A+L2A*L1A+7", "-L2A+20",
                           "L1A+LT+L3D+7", "LH+3",    "L2A*2+LT+L1A+L3A+11"};
    for (const FormulaKind& kind : {FormulaKind{1, true}, FormulaKind{2, true}, FormulaKind{3, true},
                                    FormulaKind{2, false}, FormulaKind{3, false}}) {
        addFormulas(ws, kind, true, demo, QString());
        addFormulas(ws, kind, false, demo.mid(0, 3), QString());
    }

    MainWindow window(&ws, error);
    const QRect screen = window.screen()->availableGeometry();
    window.showForScreen();
    save(&window, "01-main");

    auto click = [&](const char* name) { window.findChild<QAbstractButton*>(QLatin1String(name))->click(); };
    auto trigger = [&](const char* name) { window.findChild<QAction*>(QLatin1String(name))->trigger(); };

    window.findChild<QCheckBox*>("Check1")->setChecked(true);
    save(&window, "02-main-verification");
    window.findChild<QCheckBox*>("Check1")->setChecked(false);

    click("Command4");
    saveTopLevels("03-");
    hideAllBut(&window);

    // General selection at 十位: the selected formulas vote, then the best ones.
    click("optXing2");
    click("opTDG1");
    click("Option61");
    click("Command23");
    if (RankingWindow* r = window.rankingWindow()) {
        save(r, "04-frmErrarr");
        QTimer::singleShot(300, [&] {
            if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
                save(d, "05-detail");
                d->reject();
            }
        });
        r->detailButton()->click();
    }
    click("Option60");
    QTimer::singleShot(300, [&] {
        save(window.sortWindow(), "06-sort");
        window.sortWindow()->confirmButton()->click();
    });
    click("Command23");
    hideAllBut(&window);

    click("opTDG0");
    click("Option61");
    click("Command23");
    saveTopLevels("07-");
    hideAllBut(&window);

    QTimer::singleShot(300, [&] {
        saveTopLevels("08-");
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* d = qobject_cast<QDialog*>(w); d && d->isVisible())
                d->reject();
    });
    click("Command7");

    MessageBoxes::pushAnswer(true);
    click("Command12");
    saveTopLevels("09-");
    hideAllBut(&window);

    QTableView* grid = window.findChild<QTableView*>("MSFlexGrid2");
    emit grid->customContextMenuRequested(grid->visualRect(window.formulaModel()->index(3, 1)).center());
    if (QWidget* popup = QApplication::activePopupWidget()) {
        save(popup, "10-menu-manage");
        popup->close();
    }
    trigger("mnuGsbz");
    saveTopLevels("11-");
    hideAllBut(&window);

    QTimer::singleShot(300, [&] {
        if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            save(d, "12-search");
            d->reject();
        }
    });
    click("Command22");

    // The history import preview of a copied page with a line it cannot read.
    QApplication::clipboard()->setText(QStringLiteral("期号 开奖时间 开奖号码\n"
                                                      "990101002 1999-01-01 09:40 等待开奖\n"
                                                      "990101001 1999-01-01 09:30 3 5 6 和值 14\n"));
    QTimer::singleShot(300, [&] {
        if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            save(d, "13-history-import");
            d->reject();
        }
    });
    trigger("mnuLszt");

    std::printf("screen %dx%d, main window %dx%d\n", screen.width(), screen.height(), window.width(),
                window.height());
    return 0;
}
