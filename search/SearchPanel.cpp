#include "search/SearchPanel.h"

#include "backtest/AnalysisSession.h"
#include "formula/FormulaTableStore.h"
#include "history/Workspace.h"
#include "search/CandidateEvaluator.h"
#include "search/FormulaGenerator.h"
#include "search/GeneratorFrames.h"
#include "search/HoldOutSummary.h"
#include "search/KindSlot.h"
#include "search/NumericText.h"
#include "search/OptimumFrame.h"
#include "search/OptimumSearch.h"
#include "search/QualificationRanges.h"
#include "search/RangeFrame.h"
#include "search/SearchCounters.h"
#include "search/SearchResultExport.h"
#include "search/SearchResultModel.h"
#include "search/SearchResultSaver.h"
#include "search/SearchRun.h"
#include "store/Settings.h"
#include "ui/BackgroundTask.h"
#include "ui/BusyCursor.h"
#include "ui/DesktopOpener.h"
#include "ui/KindPicker.h"
#include "ui/MessageBoxes.h"
#include "ui/NamedButton.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <thread>

namespace {

const QString kTitle = QStringLiteral("公式搜索");
const QString kSaveTitle = QStringLiteral("追加公式");
const QString kSaveDone = QStringLiteral("公式追加完毕！");
const QString kOptimumAllTitle = QStringLiteral("更新参数默认设置");
const QString kOptimumAllQuestion =
    QStringLiteral("此操作将耗时一分钟到数分钟自动搜索分析各类公式并分析其参数值，归纳出相对参数较高的数值为"
                   "设置软件各类公式搜索的默认值，"
                   "操作后各类公式搜索默认值将改变，是否确认更改搜索默认值？");
const QString kListFull = QStringLiteral("搜索结果已达32767条，请先保存结果再继续搜索。");

constexpr int kPollMs = 100;

QLineEdit* readOnlyBox(const char* objectName)
{
    auto* box = new QLineEdit;
    box->setObjectName(QLatin1String(objectName));
    box->setReadOnly(true);
    return box;
}

} // namespace

SearchPanel::SearchPanel(AnalysisSession* session, QWidget* parent)
    : QWidget(parent), m_session(session), m_workspace(&session->workspace()),
      m_settings(&m_workspace->settings()), m_pollTimer(new QTimer(this))
{
    m_resultModel = new SearchResultModel(this);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_kindPicker = new KindPicker(KindPicker::searchLook());
    connect(m_kindPicker, &KindPicker::kindChosen, this, &SearchPanel::onKindChosen);
    connect(m_kindPicker, &KindPicker::senseChosen, this, &SearchPanel::onSenseChosen);
    layout->addWidget(m_kindPicker);
    m_rangeFrame = new RangeFrame;
    layout->addWidget(m_rangeFrame);
    layout->addWidget(buildCurrentFrame());
    m_generator = new GeneratorFrames;
    connect(m_generator, &GeneratorFrames::operandCountChanged, this,
            [this](int value) { m_settings.saveOperandCount(m_slot, value); });
    layout->addWidget(m_generator);
    m_counters = new SearchCounters(&m_settings);
    connect(m_counters, &SearchCounters::autoStopChanged, this, &SearchPanel::applyAutoStop);
    layout->addWidget(m_counters);

    m_currentFormulaBox = readOnlyBox("txtCurrentFormula");
    layout->addWidget(m_currentFormulaBox);
    // With a hold-out: how the list's candidates fare on the draws they did not qualify on.
    m_holdOutLabel = new QLabel;
    m_holdOutLabel->setObjectName(QStringLiteral("lblHoldOut"));
    m_holdOutLabel->setWordWrap(true);
    m_holdOutLabel->setToolTip(QStringLiteral("搜索只用留出期之前的号码挑选公式；留出期的正确率接近机会率，"
                                              "说明挑出来的公式只是碰巧符合过去的号码"));
    m_holdOutLabel->hide();
    layout->addWidget(m_holdOutLabel);
    m_resultView = new QListView;
    m_resultView->setObjectName(QStringLiteral("lstResults"));
    m_resultView->setModel(m_resultModel);
    m_resultView->setUniformItemSizes(true);
    layout->addWidget(m_resultView, 1);

    auto* buttons = new QGridLayout;
    m_startButton = dialogButton("cmdStart", QStringLiteral("开始搜索(&F)"));
    connect(m_startButton, &QPushButton::clicked, this, &SearchPanel::startSearch);
    m_stopButton = dialogButton("cmdStop", QStringLiteral("暂停搜索(&E)"));
    connect(m_stopButton, &QPushButton::clicked, this, &SearchPanel::stopSearch);
    m_appendButton = dialogButton("cmdAppend", QStringLiteral("公式追加到数据库(&A)"),
                                  QStringLiteral("保留软件现有公式然后将所有合格公式追加到软件数据库。"));
    connect(m_appendButton, &QPushButton::clicked, this, [this] { saveResults(SaveKind::Append); });
    m_updateButton = dialogButton("cmdUpdate", QStringLiteral("公式更新到数据库(&N)"),
                                  QStringLiteral("删除软件现有公式然后将所有合格公式添加到软件数据库。"));
    connect(m_updateButton, &QPushButton::clicked, this, [this] {
        if (confirmUpdate())
            saveResults(SaveKind::Update);
    });
    QPushButton* exportButton = dialogButton("cmdExport", QStringLiteral("公式中文导出"));
    connect(exportButton, &QPushButton::clicked, this, &SearchPanel::exportChinese);
    QPushButton* saveKindButton = dialogButton("cmdSaveKind", QStringLiteral("保存当前种类参数设置"));
    connect(saveKindButton, &QPushButton::clicked, this, &SearchPanel::saveCurrentKindSettings);
    buttons->addWidget(m_startButton, 0, 0);
    buttons->addWidget(m_stopButton, 0, 1);
    buttons->addWidget(saveKindButton, 0, 2);
    buttons->addWidget(m_appendButton, 1, 0);
    buttons->addWidget(m_updateButton, 1, 1);
    buttons->addWidget(exportButton, 1, 2);
    layout->addLayout(buttons);

    // Placed by the window beside the scheme.
    m_optimumFrame = new OptimumFrame;
    connect(m_optimumFrame, &OptimumFrame::currentKindWanted, this, &SearchPanel::optimumForCurrentKind);
    connect(m_optimumFrame, &OptimumFrame::allKindsWanted, this, &SearchPanel::optimumForAllKinds);

    m_pollTimer->setInterval(kPollMs);
    connect(m_pollTimer, &QTimer::timeout, this, &SearchPanel::poll);

    // Opening: units single selection, kill (the picker's own start); the units kill ranges and the
    // operand count.
    loadKindRanges();
    loadOperandCount();
}

SearchPanel::~SearchPanel() = default;

QWidget* SearchPanel::optimumFrame() const
{
    return m_optimumFrame;
}

QWidget* SearchPanel::buildCurrentFrame()
{
    auto* frame = new QGroupBox(QStringLiteral("当前公式参数值"));
    frame->setObjectName(QStringLiteral("fraCurrent"));
    auto* layout = new QHBoxLayout(frame);
    const QStringList tips{QStringLiteral("正确率"), QStringLiteral("最大连错"), QStringLiteral("最大连对"),
                           QStringLiteral("最后连错"), QStringLiteral("最后连对")};
    for (int i = 0; i < 5; ++i) {
        m_currentBoxes[i] = readOnlyBox("");
        m_currentBoxes[i]->setObjectName(QStringLiteral("current%1").arg(i));
        m_currentBoxes[i]->setToolTip(tips[i]);
        layout->addWidget(m_currentBoxes[i]);
    }
    return frame;
}

// ---- Kinds and modes -------------------------------------------------------------------------

void SearchPanel::onKindChosen(const FormulaKind& kind)
{
    m_slot = KindSlot::of(kind);
    loadKindRanges();
    loadOperandCount();
}

void SearchPanel::onSenseChosen(bool kill)
{
    m_kill = kill;
    loadKindRanges();
}

void SearchPanel::chooseKind(int slot)
{
    const std::optional<FormulaKind> kind = KindSlot::kind(slot);
    if (!kind)
        return;
    m_kindPicker->setChoice(*kind, m_kindPicker->kill());
    m_slot = slot;
    loadKindRanges();
    loadOperandCount();
}

void SearchPanel::loadKindRanges()
{
    setRangeTexts(m_settings.ranges(KindSlot::kindNumber(m_slot), m_kill).texts());
}

void SearchPanel::loadOperandCount()
{
    m_generator->showOperandCount(m_settings.operandCount(m_slot));
}

QStringList SearchPanel::rangeTexts() const
{
    return m_rangeFrame->texts();
}

void SearchPanel::setRangeTexts(const QStringList& texts)
{
    m_rangeFrame->setTexts(texts);
}

bool SearchPanel::generatorOptions(GeneratorOptions* options)
{
    QString error;
    if (!m_generator->options(options, &error)) {
        MessageBoxes::warning(this, kTitle, error);
        m_generator->focusTail();
        return false;
    }
    return true;
}

ChineseFormStyle SearchPanel::chineseStyle() const
{
    return m_generator->chineseStyle();
}

SearchRules SearchPanel::rules() const
{
    return rulesFor(m_slot);
}

SearchRules SearchPanel::rulesFor(int slot) const
{
    const AnalysisOptions& o = m_session->options();
    return {*KindSlot::kind(slot), m_kill, o.lookBackDraws(), o.weighted, o.holdOut, o.publicationOrder};
}

int SearchPanel::threadCount()
{
    return static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

// ---- The single search ---------------------------------------------------------------------------

bool SearchPanel::isSearching() const
{
    return m_run || (m_schemeInProgress && m_schemeInProgress());
}

void SearchPanel::startSearch()
{
    if (isSearching())
        return;
    GeneratorOptions generator;
    if (!generatorOptions(&generator))
        return;
    if (m_entries.size() >= std::size_t(SearchRun::kMaxResults)) {
        MessageBoxes::warning(this, kTitle, kListFull);
        return;
    }
    m_tried = 0;
    m_schemeWasLast = false;
    m_kill = m_kindPicker->kill();

    SearchRunConfig config;
    config.evaluator = std::make_shared<CandidateEvaluator>(m_workspace->history().draws(), rules());
    config.generator = generator;
    config.style = chineseStyle();
    config.ranges = QualificationRanges::fromTexts(rangeTexts());
    config.seed = FormulaGenerator::freshSeed();
    config.threads = threadCount();
    config.stopAt = m_counters->autoStop();
    config.alreadyQualified = int(m_entries.size());
    config.capacity = SearchRun::kMaxResults - int(m_entries.size());
    if (skipEquivalents()) {
        // Known: the kind's stored formulas of the sense and the list's own of that kind and sense.
        const SearchRules r = rules();
        std::vector<FormulaRecord> stored;
        QString error;
        if (!FormulaTableStore(&m_workspace->database()).loadSubset(r.kind, r.kill, &stored, &error)) {
            MessageBoxes::warning(this, kTitle, error);
            return;
        }
        QStringList known;
        for (const FormulaRecord& f : stored)
            known << f.gongshi;
        for (const SearchResult& e : m_entries)
            if (e.kind == r.kind && e.kill == r.kill)
                known << e.code;
        BusyCursor busy;
        config.distinct = std::make_shared<DistinctCandidates>(m_workspace->history().draws(), r.kind, known);
    }
    m_run = std::make_unique<SearchRun>(config);
    m_run->start();
    m_counters->showTried(0);
    m_pollTimer->start();
    emit runningChanged();
}

void SearchPanel::applyAutoStop()
{
    if (!m_run)
        return;
    m_run->setStopAt(m_counters->autoStop());
    // A target already reached ends the run now; the poll takes its last results.
    if (m_run->isFinished())
        poll();
}

bool SearchPanel::confirmDiscard(const QString& action, const QString& verb)
{
    const std::size_t unsaved = m_entries.size();
    return unsaved == 0 ||
           MessageBoxes::question(
               this, kTitle,
               QStringLiteral("还有%1条搜索合格的公式没有保存到数据库，%2将放弃这些公式，是否%3？")
                   .arg(unsaved)
                   .arg(action, verb));
}

QCheckBox* SearchPanel::skipEquivalentsCheck() const
{
    return m_counters->skipEquivalentsCheck();
}

bool SearchPanel::skipEquivalents() const
{
    return m_counters->skipEquivalentsCheck()->isChecked();
}

void SearchPanel::stopSearch()
{
    if (!m_run)
        return;
    m_run->stop();
    m_run->wait();
    poll();
}

void SearchPanel::poll()
{
    if (!m_run) {
        m_pollTimer->stop();
        return;
    }
    const SearchRun::Progress p = m_run->progress();
    takeResults(m_run->takeResults());
    showTried(p.tried);
    showQualified(qsizetype(m_entries.size()));
    if (p.hasCurrent)
        showCurrent(p.currentChinese, p.currentStats);
    if (p.finished) {
        m_run->wait();
        m_run.reset();
        m_pollTimer->stop();
        emit runningChanged();
        if (p.listFull)
            MessageBoxes::warning(this, kTitle, kListFull);
    }
}

bool SearchPanel::beginSchemeSearch()
{
    m_schemeWasLast = true;
    m_entries.clear(); // the qualified count starts again from 0, and so does the list box
    m_resultModel->setResults(m_entries);
    showHoldOutSummary();
    m_kill = m_kindPicker->kill();
    return m_kill;
}

void SearchPanel::setAutoStopTarget(double target)
{
    m_counters->setAutoStopTarget(target);
}

void SearchPanel::showTried(qint64 tried)
{
    m_tried = tried;
    m_counters->showTried(m_tried);
}

void SearchPanel::showQualified(qsizetype count)
{
    m_counters->showQualified(count);
}

void SearchPanel::takeResults(std::vector<SearchResult> results)
{
    if (results.empty())
        return;
    m_resultModel->append(results);
    for (SearchResult& r : results)
        m_entries.push_back(std::move(r));
    m_resultView->scrollToBottom();
    showHoldOutSummary();
    showCurrent(m_entries.back().chinese, m_entries.back().stats);
}

void SearchPanel::showHoldOutSummary()
{
    const HoldOutSummary summary = HoldOutSummary::of(m_resultModel->holdOuts());
    m_holdOutLabel->setVisible(summary.qualified > 0);
    m_holdOutLabel->setText(summary.qualified > 0 ? summary.text() : QString());
}

void SearchPanel::showCurrent(const QString& chinese, const FormulaStats& stats)
{
    m_currentFormulaBox->setText(chinese);
    m_currentBoxes[0]->setText(QString::number(double(stats.rate), 'g', 7));
    m_currentBoxes[1]->setText(QString::number(stats.maxMissRun));
    m_currentBoxes[2]->setText(QString::number(stats.maxHitRun));
    m_currentBoxes[3]->setText(QString::number(stats.finalMissRun));
    m_currentBoxes[4]->setText(QString::number(stats.finalHitRun));
}

void SearchPanel::enableControls(bool busy, bool saveAllowed)
{
    m_startButton->setEnabled(!busy);
    // It stops only the single search: idle while the all-kinds search goes ("暂停" pauses that).
    m_stopButton->setEnabled(!(m_schemeInProgress && m_schemeInProgress()));
    m_optimumFrame->setBusy(busy);
    m_appendButton->setEnabled(saveAllowed);
    m_updateButton->setEnabled(saveAllowed);
    // A run keeps the kind, sense and candidate shape it started with.
    for (const char* name : {"fraPosition", "fraSelection", "fraSense", "fraOperands", "fraTail", "fraForm"})
        if (auto* frame = findChild<QGroupBox*>(QLatin1String(name)))
            frame->setEnabled(!busy);
}

// ---- Saving, export, settings ----------------------------------------------------------------

bool SearchPanel::confirmUpdate()
{
    QStringList kinds;
    for (const SearchResult& e : m_entries)
        if (!kinds.contains(e.kind.kindText()))
            kinds << e.kind.kindText();
    // Nothing is deleted without results to put in their place.
    if (kinds.isEmpty())
        return true;
    return MessageBoxes::question(
        this, QStringLiteral("公式更新到数据库"),
        QStringLiteral(
            "删除软件现有公式然后将所有合格公式添加到软件数据库：%1的现有公式（杀码和生码）将全部删除，"
            "换成%2个合格公式。确定要更新吗？\n\n%3")
            .arg(kinds.join(QStringLiteral("、")))
            .arg(m_entries.size())
            .arg(m_workspace->undoNote()));
}

void SearchPanel::saveResults(SaveKind kind)
{
    const bool kill = m_kindPicker->kill();
    // After a save of the single search's results the panel shows the kind of the last one.
    const int lastSlot = m_entries.empty() ? 0 : KindSlot::of(m_entries.back().kind); // 0: none
    std::vector<FormulaKind> saved;
    QString error;
    // An update deletes the formulas of every kind it saves to: a copy of the database is kept first.
    if (kind == SaveKind::Update && !m_entries.empty() &&
        !m_workspace->backupBefore(QStringLiteral("公式更新到数据库"), &error)) {
        MessageBoxes::warning(this, kSaveTitle, error);
        return;
    }
    const bool ok = SearchResultSaver::save(&m_workspace->database(), m_entries,
                                            kind == SaveKind::Append ? SearchResultSaver::Mode::Append
                                                                     : SearchResultSaver::Mode::Update,
                                            kill, &saved, &error);
    std::erase_if(m_entries, [&saved](const SearchResult& e) {
        return std::find(saved.begin(), saved.end(), e.kind) != saved.end();
    });
    // The list box keeps only what is still waiting, as the qualified count does.
    m_resultModel->setResults(m_entries);
    showHoldOutSummary();
    if (ok && !m_schemeWasLast && lastSlot != 0)
        chooseKind(lastSlot);
    m_formulasChanged = true;
    // Once per save, whatever kinds it wrote: every window on the session follows.
    m_session->formulasWereChanged(saved.empty() ? *KindSlot::kind(m_slot) : saved.back());
    if (ok)
        MessageBoxes::information(this, kSaveTitle, kSaveDone);
    else
        MessageBoxes::warning(this, kSaveTitle, error);
    if (!m_schemeInProgress || !m_schemeInProgress())
        showQualified(qsizetype(m_entries.size()));
}

void SearchPanel::exportChinese()
{
    const QString path = SearchResultExport::filePath(m_workspace->dataFolder(), m_workspace->nextIssue());
    QString error;
    if (!SearchResultExport::write(path, m_resultModel->forms(), &error)) {
        MessageBoxes::warning(this, kTitle, error);
        return;
    }
    DesktopOpener::open(path);
}

void SearchPanel::saveCurrentKindSettings()
{
    m_settings.saveRanges(KindSlot::kindNumber(m_slot), m_kill, rangeTexts());
    m_settings.saveOperandCount(m_slot, m_generator->operandCount());
}

// ---- Optimum ranges --------------------------------------------------------------------------

void SearchPanel::optimumForCurrentKind()
{
    if (isSearching())
        return;
    GeneratorOptions generator;
    if (!generatorOptions(&generator))
        return;
    const int samples = m_optimumFrame->samples();
    const CandidateEvaluator evaluator(m_workspace->history().draws(), rules());
    const std::uint64_t seed = FormulaGenerator::freshSeed();
    OptimumFigures best;
    FormulaStats last;
    m_tried = 0;
    const bool done =
        BackgroundTask::run(this, QStringLiteral("正在检索当前公式类的最优参数…"), [&](TaskProgress& p) {
            p.total = samples;
            FormulaGenerator g(seed, 0);
            best = OptimumSearch::sample(evaluator, generator, samples, &g, &last, &p.cancelled, &p.done);
        });
    if (!done)
        return;
    showTried(samples);
    showCurrent(m_currentFormulaBox->text(), last);
    QStringList texts = rangeTexts();
    OptimumSearch::writeInto(best, &texts);
    setRangeTexts(texts);
}

void SearchPanel::optimumForAllKinds()
{
    if (isSearching() || !MessageBoxes::question(this, kOptimumAllTitle, kOptimumAllQuestion))
        return;
    GeneratorOptions generator;
    if (!generatorOptions(&generator))
        return;
    m_kill = m_kindPicker->kill();
    struct Job
    {
        int slot;
        GeneratorOptions options;
        std::unique_ptr<CandidateEvaluator> evaluator;
        OptimumFigures best;
        FormulaStats last;
    };
    std::vector<Job> jobs;
    for (int slot : {6, 5, 3, 2, 1}) {
        GeneratorOptions options = generator;
        options.operandCount = m_settings.operandCount(slot);
        auto evaluator = std::make_unique<CandidateEvaluator>(m_workspace->history().draws(), rulesFor(slot));
        jobs.push_back({slot, options, std::move(evaluator), {}, {}});
    }
    const int samples = m_optimumFrame->samples();
    const std::uint64_t seed = FormulaGenerator::freshSeed();
    const bool done =
        BackgroundTask::run(this, QStringLiteral("正在检索所有公式类的最优参数…"), [&](TaskProgress& p) {
            p.total = samples * int(jobs.size());
            for (Job& job : jobs) {
                FormulaGenerator g(seed, std::uint64_t(job.slot));
                job.best = OptimumSearch::sample(*job.evaluator, job.options, samples, &g, &job.last,
                                                 &p.cancelled, &p.done);
            }
        });
    if (!done)
        return;
    for (const Job& job : jobs) {
        chooseKind(job.slot);
        QStringList texts = rangeTexts();
        OptimumSearch::writeInto(job.best, &texts);
        setRangeTexts(texts);
        saveCurrentKindSettings();
        showCurrent(m_currentFormulaBox->text(), job.last);
    }
    showTried(samples);
}
