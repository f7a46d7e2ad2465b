#include "charts/TrendChartWindow.h"

#include "backtest/AnalysisSession.h"
#include "charts/ChartPicture.h"
#include "charts/FormulaTrendCharts.h"
#include "charts/NumberTrendCharts.h"
#include "charts/ReplayTrendCharts.h"
#include "formula/CompiledFormula.h"
#include "history/DrawModel.h"
#include "history/HistoryColumns.h"
#include "history/Workspace.h"
#include "ui/DesktopOpener.h"
#include "ui/MessageBoxes.h"
#include "ui/NamedButton.h"

#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace {

QStringList issuesOf(const std::vector<DrawRecord>& draws)
{
    QStringList issues;
    issues.reserve(static_cast<qsizetype>(draws.size()));
    for (const DrawRecord& d : draws)
        issues << d.issue;
    return issues;
}

QSpinBox* spinBox(const char* objectName, const QString& tooltip)
{
    auto* box = new QSpinBox;
    box->setObjectName(QLatin1String(objectName));
    box->setToolTip(tooltip);
    box->setKeyboardTracking(false); // redraws once the number is typed, not at every digit
    box->setMinimumWidth(90);
    return box;
}

} // namespace

TrendChartWindow::TrendChartWindow(AnalysisSession* session, QWidget* parent)
    : QWidget(parent, Qt::Window), m_session(session), m_workspace(&session->workspace()),
      m_tabs(new QTabWidget)
{
    setObjectName("frmZst");
    setWindowTitle(QStringLiteral("走势图"));
    m_tabs->setObjectName("tabTrend");
    m_tabs->addTab(buildNumbersTab(), QStringLiteral("号码走势"));
    m_tabs->addTab(buildFormulaTab(), QStringLiteral("公式走势"));
    m_tabs->addTab(buildReplayTab(), QStringLiteral("计算回测"));
    connect(m_tabs, &QTabWidget::currentChanged, this, [this] { updateSaveButton(); });

    m_saveButton = namedButton("cmdSavePicture", QStringLiteral("保存图片(&S)"),
                               QStringLiteral("把当前页的图表保存为 PNG 图片（数据文件夹），并打开它"));
    connect(m_saveButton, &QPushButton::clicked, this, [this] { savePicture(); });
    auto* hint = new QLabel(QStringLiteral("鼠标停在图上可看到准确数值"));
    hint->setObjectName("lblHoverHint");
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(hint, 1);
    bottom->addWidget(m_saveButton);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs, 1);
    layout->addLayout(bottom);
    // A comfortable size that still fits a small screen whole.
    const QRect available = screen()->availableGeometry();
    resize(std::min(1500, available.width() - 40), std::min(900, available.height() - 60));
    refresh();

    // Every tab is drawn from the stored draws and their publication order.
    connect(m_session, &AnalysisSession::historyChanged, this, &TrendChartWindow::refresh);
    connect(m_session, &AnalysisSession::storeReplaced, this, &TrendChartWindow::refresh);
    connect(m_session, &AnalysisSession::optionsChanged, this, [this](const AnalysisOptions& previous) {
        if (m_session->options().publicationOrder != previous.publicationOrder)
            refresh();
    });
}

QWidget* TrendChartWindow::buildNumbersTab()
{
    auto* page = new QWidget;
    m_drawsBox = spinBox("spinDraws", QStringLiteral("画最近多少期（10 期到全部历史）"));
    m_drawsBox->setSuffix(QStringLiteral(" 期"));
    m_drawsBox->setRange(0, 0); // no history yet: the first one gets the default N
    connect(m_drawsBox, &QSpinBox::valueChanged, this, [this] { drawNumbers(); });
    auto* controls = new QHBoxLayout;
    controls->addWidget(new QLabel(QStringLiteral("最近期数 N：")));
    controls->addWidget(m_drawsBox);
    controls->addSpacing(16);
    m_fairnessLabel = new QLabel;
    m_fairnessLabel->setObjectName("lblFairness");
    m_fairnessLabel->setToolTip(
        QStringLiteral("骰子公平性检验：最近 N 期各位号码的次数和公平骰子（按开奖号码的排列顺序）比较"));
    controls->addWidget(m_fairnessLabel, 1);
    m_numberCharts = new NumberTrendCharts;
    auto* layout = new QVBoxLayout(page);
    layout->addLayout(controls);
    layout->addWidget(m_numberCharts, 1);
    return page;
}

QWidget* TrendChartWindow::buildFormulaTab()
{
    auto* page = new QWidget;
    m_formulaLabel = new QLabel;
    m_formulaLabel->setObjectName("lblTrendFormula");
    m_formulaLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_windowBox = spinBox("spinWindow", QStringLiteral("每个点的正确率按它之前（含该期）多少期计算"));
    m_windowBox->setSuffix(QStringLiteral(" 期"));
    // The window sets the box with its signals blocked: a change seen here is the user's.
    connect(m_windowBox, &QSpinBox::valueChanged, this, [this] {
        m_windowChosen = true;
        drawFormula();
    });
    m_shownBox = spinBox("spinShown", QStringLiteral("只画最近多少期的点"));
    m_shownBox->setSpecialValueText(QStringLiteral("全部"));
    m_shownBox->setSuffix(QStringLiteral(" 期"));
    connect(m_shownBox, &QSpinBox::valueChanged, this, [this] { drawFormula(); });
    auto* controls = new QHBoxLayout;
    controls->addWidget(m_formulaLabel, 1);
    controls->addWidget(new QLabel(QStringLiteral("滚动期数 M：")));
    controls->addWidget(m_windowBox);
    controls->addSpacing(12);
    controls->addWidget(new QLabel(QStringLiteral("显示期数：")));
    controls->addWidget(m_shownBox);
    m_formulaCharts = new FormulaTrendCharts;
    auto* layout = new QVBoxLayout(page);
    layout->addLayout(controls);
    layout->addWidget(m_formulaCharts, 1);
    return page;
}

QWidget* TrendChartWindow::buildReplayTab()
{
    auto* page = new QWidget;
    m_replayCharts = new ReplayTrendCharts;
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(m_replayCharts, 1);
    return page;
}

void TrendChartWindow::refresh()
{
    const int count = static_cast<int>(m_workspace->history().draws().size());
    {
        // A new history keeps the wished N where it still fits.
        const QSignalBlocker block(m_drawsBox);
        const int wished = m_drawsBox->maximum() > 0 ? m_drawsBox->value() : NumberTrend::kDefaultDraws;
        m_drawsBox->setRange(std::min(NumberTrend::kMinimumDraws, count), std::max(count, 0));
        m_drawsBox->setValue(NumberTrend::clampedDraws(count, wished));
    }
    {
        const QSignalBlocker block(m_shownBox);
        m_shownBox->setRange(0, std::max(count, 0));
    }
    drawNumbers();
    drawFormula();
}

void TrendChartWindow::setFormula(const FormulaKind& kind, bool kill, const FormulaRecord& formula,
                                  int lookBackDraws, int number)
{
    m_formula = ChosenFormula{kind, kill, formula, number};
    if (!m_windowChosen) {
        const QSignalBlocker block(m_windowBox);
        m_windowBox->setValue(FormulaTrend::defaultWindow(lookBackDraws));
    }
    drawFormula();
}

const DrawModel& TrendChartWindow::drawModel() const
{
    return m_session->drawModel();
}

void TrendChartWindow::drawNumbers()
{
    const NumberTrend trend =
        NumberTrend::of(m_workspace->history().draws(), m_drawsBox->value(), drawModel());
    m_fairnessLabel->setText(trend.isDrawable() ? trend.fairnessText : QString());
    m_numberCharts->setTrend(trend);
    updateSaveButton();
}

void TrendChartWindow::drawFormula()
{
    const int count = m_session->columns()->drawCount();
    {
        // M runs from 10 (or the scored draws of a shorter history) to the scored draws.
        const QSignalBlocker block(m_windowBox);
        const int wished = m_windowBox->value();
        const int scored = std::max(count - 1, 1);
        m_windowBox->setRange(std::min(FormulaTrend::kMinimumWindow, scored), scored);
        m_windowBox->setValue(wished);
    }
    if (!m_formula) {
        m_formulaLabel->setText(QStringLiteral("（未选定公式）"));
        m_formulaCharts->setTrend(FormulaTrend::noFormula());
        updateSaveButton();
        return;
    }
    const FormulaRecord& f = m_formula->record;
    const QString title = FormulaTrend::titleOf(m_formula->kind, m_formula->kill, f, m_formula->number);
    m_formulaLabel->setText(title);
    m_formulaLabel->setToolTip(f.gongshi);
    FormulaTrend trend = FormulaTrend::of(
        *m_session->columns(), issuesOf(m_workspace->history().draws()), CompiledFormula::compile(f.gongshi),
        m_formula->kind, m_formula->kill, m_windowBox->value(), m_shownBox->value(), drawModel());
    trend.title = title;
    m_formulaCharts->setTrend(trend);
    updateSaveButton();
}

void TrendChartWindow::setReplay(const ReplayResult& replay)
{
    m_replayCharts->setTrend(ReplayTrend::of(replay));
    updateSaveButton();
}

void TrendChartWindow::showTab(Tab tab)
{
    m_tabs->setCurrentIndex(int(tab));
}

TrendChartWindow::Tab TrendChartWindow::currentTab() const
{
    return Tab(m_tabs->currentIndex());
}

TrendChartPanel* TrendChartWindow::currentPanel() const
{
    switch (currentTab()) {
    case NumbersTab:
        return m_numberCharts;
    case FormulaTab:
        return m_formulaCharts;
    case ReplayTab:
        break;
    }
    return m_replayCharts;
}

void TrendChartWindow::updateSaveButton()
{
    if (m_saveButton)
        m_saveButton->setEnabled(currentPanel()->showsCharts());
}

QString TrendChartWindow::pictureName(Tab tab)
{
    static const char* const names[] = {"ZSHM.png", "ZSGS.png", "ZSHC.png"};
    return QString::fromLatin1(names[int(tab)]);
}

bool TrendChartWindow::savePicture()
{
    TrendChartPanel* panel = currentPanel();
    const QString title = QStringLiteral("保存图片");
    if (!panel->showsCharts()) {
        MessageBoxes::information(this, title, panel->requirementText());
        return false;
    }
    const QString path = QDir(m_workspace->dataFolder()).filePath(pictureName(currentTab()));
    QString error;
    if (!ChartPicture::writePng(ChartPicture::grab(panel), path, &error)) {
        MessageBoxes::warning(this, title, error);
        return false;
    }
    if (!DesktopOpener::open(path))
        MessageBoxes::warning(
            this, title,
            QStringLiteral("没有可以打开图片的程序。图片已保存为：%1").arg(QDir::toNativeSeparators(path)));
    return true;
}
