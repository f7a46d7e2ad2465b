#include "search/SchemePanel.h"

#include "backtest/AnalysisSession.h"
#include "formula/FormulaTableStore.h"
#include "history/Workspace.h"
#include "search/FormulaGenerator.h"
#include "search/KindSlot.h"
#include "search/NumericText.h"
#include "search/SchemeReplacement.h"
#include "search/SchemeSearch.h"
#include "search/SearchPanel.h"
#include "store/Settings.h"
#include "ui/MessageBoxes.h"
#include "ui/NamedButton.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QVBoxLayout>

namespace {

// Colours of the position labels: done (blue) and current (red).
const QColor kDoneColour(0, 0, 255);
const QColor kCurrentColour(255, 0, 0);

constexpr int kPollMs = 100;

} // namespace

SchemePanel::SchemePanel(AnalysisSession* session, SearchPanel* search, QWidget* parent)
    : QGroupBox(QStringLiteral("公式自动搜索方案设置"), parent), m_session(session),
      m_workspace(&session->workspace()), m_search(search), m_settings(&m_workspace->settings()),
      m_pollTimer(new QTimer(this))
{
    setObjectName(QStringLiteral("fraScheme"));
    auto* layout = new QVBoxLayout(this);

    auto* selections = new QHBoxLayout;
    for (bool single : {true, false}) {
        auto* sub = new QGroupBox(FormulaKind::selectionCaption(single));
        auto* grid = new QGridLayout(sub);
        for (int position = 1; position <= 3; ++position) {
            const int slot = position + (single ? 0 : 3);
            m_slotLabels[slot] = new QLabel(FormulaKind::positionCaption(position));
            m_slotLabels[slot]->setObjectName(QStringLiteral("lblSlot%1").arg(slot));
            m_targetBoxes[slot] = new QLineEdit;
            m_targetBoxes[slot]->setObjectName(QStringLiteral("txtTarget%1").arg(slot));
            m_targetBoxes[slot]->setMaximumWidth(60);
            connect(m_targetBoxes[slot], &QLineEdit::editingFinished, this, &SchemePanel::recomputeTotal);
            m_storedLabels[slot] = new QLabel;
            m_storedLabels[slot]->setObjectName(QStringLiteral("lblStored%1").arg(slot));
            grid->addWidget(m_slotLabels[slot], position - 1, 0);
            grid->addWidget(m_targetBoxes[slot], position - 1, 1);
            grid->addWidget(m_storedLabels[slot], position - 1, 2);
        }
        selections->addWidget(sub);
    }
    m_targetBoxes[4]->setReadOnly(true); // 个位通选 is never searched
    m_targetBoxes[4]->setEnabled(false);
    layout->addLayout(selections);

    auto* modes = new QWidget;
    auto* modeLayout = new QHBoxLayout(modes);
    modeLayout->setContentsMargins(0, 0, 0, 0);
    auto* newCountOption = new QRadioButton(QStringLiteral("公式新增数量"));
    newCountOption->setObjectName(QStringLiteral("optNewCount"));
    m_heldCountOption = new QRadioButton(QStringLiteral("公式保有数量"));
    m_heldCountOption->setObjectName(QStringLiteral("optHeldCount"));
    connect(newCountOption, &QRadioButton::clicked, this, [this] { onCountModeChosen(false); });
    connect(m_heldCountOption, &QRadioButton::clicked, this, [this] { onCountModeChosen(true); });
    modeLayout->addWidget(newCountOption);
    modeLayout->addWidget(m_heldCountOption);
    layout->addWidget(modes);

    auto* total = new QHBoxLayout;
    total->addWidget(new QLabel(QStringLiteral("公式总保有量")));
    m_totalLabel = new QLabel(QStringLiteral("0"));
    m_totalLabel->setObjectName(QStringLiteral("lblTotal"));
    total->addWidget(m_totalLabel);
    total->addStretch();
    layout->addLayout(total);

    m_autoAppendCheck = new QCheckBox(QStringLiteral("搜索完毕公式自动追加到数据库"));
    m_autoAppendCheck->setObjectName(QStringLiteral("chkAutoAppend"));
    m_autoUpdateCheck = new QCheckBox(QStringLiteral("搜索完毕公式自动更新到数据库"));
    m_autoUpdateCheck->setObjectName(QStringLiteral("chkAutoUpdate"));
    m_autoUpdateCheck->setChecked(true);
    connect(m_autoAppendCheck, &QCheckBox::toggled, this,
            [this](bool on) { onAutoSaveToggled(m_autoAppendCheck, on); });
    connect(m_autoUpdateCheck, &QCheckBox::toggled, this,
            [this](bool on) { onAutoSaveToggled(m_autoUpdateCheck, on); });
    layout->addWidget(m_autoAppendCheck);
    layout->addWidget(m_autoUpdateCheck);

    auto* buttons = new QGridLayout;
    QPushButton* saveButton = dialogButton("cmdSaveScheme", QStringLiteral("保存设置"));
    connect(saveButton, &QPushButton::clicked, this, &SchemePanel::saveTargets);
    QPushButton* loadButton = dialogButton("cmdLoadScheme", QStringLiteral("调用设置"));
    connect(loadButton, &QPushButton::clicked, this, &SchemePanel::loadTargets);
    m_startButton = dialogButton("cmdSchemeStart", QStringLiteral("确定搜索方案开始搜索"));
    connect(m_startButton, &QPushButton::clicked, this, &SchemePanel::startSearch);
    m_pauseButton = dialogButton("cmdSchemePause", QStringLiteral("暂停"));
    connect(m_pauseButton, &QPushButton::clicked, this, &SchemePanel::pause);
    m_resumeButton = dialogButton("cmdSchemeResume", QStringLiteral("继续"));
    connect(m_resumeButton, &QPushButton::clicked, this, &SchemePanel::resume);
    buttons->addWidget(saveButton, 0, 0);
    buttons->addWidget(loadButton, 0, 1);
    buttons->addWidget(m_startButton, 1, 0, 1, 2);
    buttons->addWidget(m_pauseButton, 2, 0);
    buttons->addWidget(m_resumeButton, 2, 1);
    layout->addLayout(buttons);

    m_pollTimer->setInterval(kPollMs);
    connect(m_pollTimer, &QTimer::timeout, this, &SchemePanel::poll);
    // Every save (or any other change of the formulas the session announces): the counts beside the
    // targets and the total follow.
    connect(m_session, &AnalysisSession::formulasChanged, this, [this] {
        countStoredFormulas();
        if (m_totalFromTargets)
            recomputeTotal();
    });

    // Opening: "公式新增数量" and the stored counts.
    newCountOption->setChecked(true);
    countStoredFormulas();
}

SchemePanel::~SchemePanel() = default;

bool SchemePanel::isInProgress() const
{
    return m_scheme && !m_scheme->isFinished();
}

bool SchemePanel::isRunning() const
{
    return isInProgress() && !m_scheme->isPaused();
}

void SchemePanel::enableControls(bool singleRunning)
{
    m_startButton->setEnabled(!singleRunning && !isRunning());
    m_pauseButton->setEnabled(isRunning());
    m_resumeButton->setEnabled(isInProgress() && m_scheme->isPaused());
}

// ---- The search ------------------------------------------------------------------------------

void SchemePanel::startSearch()
{
    if (m_search->isRunning())
        return;
    GeneratorOptions generator;
    if (!m_search->generatorOptions(&generator))
        return;
    // A run that will replace the stored formulas says first what each kind loses.
    const bool replaces = m_autoUpdateCheck->isChecked() && !m_autoAppendCheck->isChecked();
    if (replaces && !confirmReplacing())
        return;
    // The all-kinds search starts its result list afresh: unsaved results go only when agreed.
    if (!m_search->confirmDiscard(QStringLiteral("开始方案搜索"), QStringLiteral("开始")))
        return;
    m_scheme.reset();
    m_replacingConfirmed = replaces;
    const bool kill = m_search->beginSchemeSearch();
    m_triedBase = m_search->tried();

    SchemeConfig config;
    config.draws = m_workspace->history().draws();
    const AnalysisOptions& options = m_session->options();
    config.lookBackDraws = options.lookBackDraws();
    config.weighted = options.weighted;
    config.holdOut = options.holdOut;
    config.publicationOrder = options.publicationOrder;
    config.kill = kill;
    config.targets = targets();
    config.mode = countMode();
    // The kinds that have a target are counted again; the window's figures stay.
    FormulaTableStore store(&m_workspace->database());
    for (int slot : KindSlot::schemeOrder()) {
        config.targets.storedCounts[slot] = 0;
        std::vector<FormulaRecord> rows;
        QString error;
        if (config.targets.targets[slot]) {
            if (!store.loadTable(*KindSlot::kind(slot), &rows, &error)) {
                MessageBoxes::warning(this, QStringLiteral("公式搜索"), error);
                return;
            }
            config.targets.storedCounts[slot] = int(rows.size());
            for (const FormulaRecord& r : rows)
                if (r.bolKill == kill)
                    config.knownCodes[slot] << r.gongshi;
        }
        config.ranges[slot] = m_settings.ranges(KindSlot::kindNumber(slot), kill);
        config.operandCounts[slot] = m_settings.operandCount(slot);
    }
    config.randomTail = generator.randomTail;
    config.givenTail = generator.givenTail;
    config.style = m_search->chineseStyle();
    config.seed = FormulaGenerator::freshSeed();
    config.threads = SearchPanel::threadCount();
    config.distinct = m_search->skipEquivalents();
    m_scheme = std::make_unique<SchemeSearch>(std::move(config));
    // The colours of an earlier run go.
    for (int slot = 1; slot <= 6; ++slot)
        m_slotLabels[slot]->setPalette(QPalette());
    m_scheme->start();
    m_active = true;
    m_search->showQualified(0);
    if (!m_scheme->isFinished())
        enterSlot(m_scheme->currentSlot());
    m_pollTimer->start();
    emit stateChanged();
    poll();
}

void SchemePanel::pause()
{
    if (isInProgress()) {
        m_scheme->pause();
        emit stateChanged();
    }
}

void SchemePanel::resume()
{
    if (isInProgress() && m_scheme->isPaused()) {
        m_scheme->resume();
        emit stateChanged();
    }
}

void SchemePanel::discard()
{
    m_pollTimer->stop();
    m_scheme.reset();
    m_active = false;
}

void SchemePanel::poll()
{
    if (m_scheme && m_active) {
        const std::vector<int> leftBehind = m_scheme->advance();
        m_search->takeResults(m_scheme->takeResults());
        showSlotMoves(leftBehind);
        if (!leftBehind.empty() && !m_scheme->isFinished())
            enterSlot(m_scheme->currentSlot());
        m_search->showTried(m_triedBase + m_scheme->tried());
        m_search->showQualified(m_scheme->kindQualified());
        const SearchRun::Progress p = m_scheme->currentProgress();
        if (p.hasCurrent)
            m_search->showCurrent(p.currentChinese, p.currentStats);
        if (m_scheme->isFinished()) {
            m_active = false;
            finishSearch();
        }
    }
    if (!isInProgress())
        m_pollTimer->stop();
}

void SchemePanel::showSlotMoves(const std::vector<int>& leftBehind)
{
    for (int slot : leftBehind) {
        colourSlot(slot, kDoneColour);
        const int next = KindSlot::next(slot);
        if (next != KindSlot::kFinished)
            colourSlot(next, kCurrentColour);
    }
}

void SchemePanel::colourSlot(int slot, const QColor& colour)
{
    QPalette p = m_slotLabels[slot]->palette();
    p.setColor(QPalette::WindowText, colour);
    m_slotLabels[slot]->setPalette(p);
}

void SchemePanel::enterSlot(int slot)
{
    // The kind's buttons, stored ranges and operand count, and its target in the auto-stop box.
    m_search->chooseKind(slot);
    const std::optional<double> target =
        SchemePlan::kindTarget(slot, m_scheme->config().targets, m_scheme->config().mode);
    if (target)
        m_search->setAutoStopTarget(*target);
}

void SchemePanel::finishSearch()
{
    m_search->showTried(m_triedBase + m_scheme->tried());
    emit stateChanged();
    if (m_autoAppendCheck->isChecked())
        m_search->saveResults(SearchPanel::SaveKind::Append);
    // Replacing checked only after the start was not asked about: the update button's question.
    else if (m_autoUpdateCheck->isChecked() && (m_replacingConfirmed || m_search->confirmUpdate()))
        m_search->saveResults(SearchPanel::SaveKind::Update);
    // The qualified count and the list box agree: what is left unsaved (nothing after a save).
    m_search->showQualified(qsizetype(m_search->pendingResults().size()));
}

bool SchemePanel::confirmReplacing()
{
    SchemeTargets planned = targets();
    QString error;
    if (!SchemeReplacement::countStored(FormulaTableStore(&m_workspace->database()), &planned, &error)) {
        MessageBoxes::warning(this, QStringLiteral("公式搜索"), error);
        return false;
    }
    const std::vector<SchemeReplacement::Loss> losses = SchemeReplacement::losses(planned, countMode());
    return losses.empty() || MessageBoxes::question(this, SchemeReplacement::title(),
                                                    SchemeReplacement::question(losses) +
                                                        QStringLiteral("\n\n") + m_workspace->undoNote());
}

// ---- Targets and counts ----------------------------------------------------------------------

void SchemePanel::saveTargets()
{
    for (int slot = 1; slot <= 6; ++slot)
        m_settings.saveSchemeTarget(slot, m_search->killSense(), m_targetBoxes[slot]->text());
}

void SchemePanel::loadTargets()
{
    for (int slot = 1; slot <= 6; ++slot)
        m_targetBoxes[slot]->setText(m_settings.schemeTargetText(slot, m_search->killSense()));
    m_targetBoxes[4]->setText(QStringLiteral("0"));
    recomputeTotal();
}

void SchemePanel::countStoredFormulas()
{
    FormulaTableStore store(&m_workspace->database());
    m_totalStored = 0;
    for (int slot : KindSlot::schemeOrder()) {
        std::vector<FormulaRecord> rows;
        QString error;
        // Without a readable table the count shows as "?" and adds nothing.
        if (store.loadTable(*KindSlot::kind(slot), &rows, &error)) {
            m_storedCounts[slot] = int(rows.size());
            m_storedLabels[slot]->setText(QString::number(rows.size()));
        } else {
            m_storedCounts[slot] = 0;
            m_storedLabels[slot]->setText(QStringLiteral("?"));
            m_storedLabels[slot]->setToolTip(error);
        }
        m_totalStored += m_storedCounts[slot];
    }
    m_totalLabel->setText(QString::number(m_totalStored));
}

SchemeTargets SchemePanel::targets() const
{
    SchemeTargets t;
    for (int slot = 1; slot <= 6; ++slot)
        t.targets[slot] = NumericText::value(m_targetBoxes[slot]->text());
    t.storedCounts = m_storedCounts;
    return t;
}

CountMode SchemePanel::countMode() const
{
    return m_heldCountOption->isChecked() ? CountMode::HeldFormulas : CountMode::NewFormulas;
}

void SchemePanel::recomputeTotal()
{
    m_totalFromTargets = true;
    const int still = SchemePlan::stillToFind(targets(), countMode());
    m_totalLabel->setText(
        QString::number(SchemePlan::totalHeld(still, m_totalStored, m_autoAppendCheck->isChecked())));
}

void SchemePanel::onCountModeChosen(bool held)
{
    m_autoAppendCheck->setChecked(held);
    m_autoUpdateCheck->setChecked(!held);
    recomputeTotal();
}

void SchemePanel::onAutoSaveToggled(QCheckBox* box, bool checked)
{
    if (checked)
        (box == m_autoAppendCheck ? m_autoUpdateCheck : m_autoAppendCheck)->setChecked(false);
    recomputeTotal();
}
