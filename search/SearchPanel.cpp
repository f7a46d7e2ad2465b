#include "search/SearchPanel.h"

#include "formula/FormulaTableStore.h"
#include "history/Workspace.h"
#include "search/CandidateEvaluator.h"
#include "search/FormulaGenerator.h"
#include "search/HoldOutSummary.h"
#include "search/KindSlot.h"
#include "search/NumericText.h"
#include "search/OptimumSearch.h"
#include "search/QualificationRanges.h"
#include "search/SearchResultExport.h"
#include "search/SearchResultModel.h"
#include "search/SearchResultSaver.h"
#include "search/SearchRun.h"
#include "store/Settings.h"
#include "ui/BackgroundTask.h"
#include "ui/BusyCursor.h"
#include "ui/DesktopOpener.h"
#include "ui/DigitWidth.h"
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
#include <QRadioButton>
#include <QScrollBar>
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
constexpr int kMinSamples = 20;
constexpr int kMaxSamples = 1000;

QLineEdit* readOnlyBox(const char* objectName)
{
    auto* box = new QLineEdit;
    box->setObjectName(QLatin1String(objectName));
    box->setReadOnly(true);
    return box;
}

} // namespace

SearchPanel::SearchPanel(Workspace* workspace, QWidget* parent)
    : QWidget(parent), m_workspace(workspace), m_settings(&workspace->settings()),
      m_pollTimer(new QTimer(this))
{
    m_resultModel = new SearchResultModel(this);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(buildKindFrames());
    layout->addWidget(buildRangeFrame());
    layout->addWidget(buildCurrentFrame());
    layout->addWidget(buildGeneratorFrames());
    layout->addWidget(buildCounters());

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

    m_optimumFrame = buildOptimumFrame();

    m_pollTimer->setInterval(kPollMs);
    connect(m_pollTimer, &QTimer::timeout, this, &SearchPanel::poll);

    // Opening: units single selection, kill; the units kill ranges and the operand count.
    m_positionOptions[0]->setChecked(true);
    m_singleOption->setChecked(true);
    m_generalOption->setEnabled(false);
    m_killOption->setChecked(true);
    loadKindRanges();
    loadOperandCount();
}

SearchPanel::~SearchPanel() = default;

QWidget* SearchPanel::buildKindFrames()
{
    auto* row = new QWidget;
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);

    auto* positions = new QGroupBox(QStringLiteral("位数选择"));
    positions->setObjectName(QStringLiteral("fraPosition"));
    auto* positionLayout = new QHBoxLayout(positions);
    for (int p = 1; p <= 3; ++p) {
        auto* o = new QRadioButton(FormulaKind::positionCaption(p));
        o->setObjectName(QStringLiteral("optPosition%1").arg(p));
        connect(o, &QRadioButton::clicked, this, [this, p] { onPositionChosen(p); });
        positionLayout->addWidget(o);
        m_positionOptions[p - 1] = o;
    }
    layout->addWidget(positions);

    auto* selection = new QGroupBox(QStringLiteral("玩法选择"));
    selection->setObjectName(QStringLiteral("fraSelection"));
    auto* selectionLayout = new QHBoxLayout(selection);
    m_singleOption = new QRadioButton(QStringLiteral("单选"));
    m_singleOption->setObjectName(QStringLiteral("optSingle"));
    m_generalOption = new QRadioButton(QStringLiteral("通选"));
    m_generalOption->setObjectName(QStringLiteral("optGeneral"));
    connect(m_singleOption, &QRadioButton::clicked, this, [this] { onSelectionChosen(true); });
    connect(m_generalOption, &QRadioButton::clicked, this, [this] { onSelectionChosen(false); });
    selectionLayout->addWidget(m_singleOption);
    selectionLayout->addWidget(m_generalOption);
    layout->addWidget(selection);

    auto* sense = new QGroupBox(QStringLiteral("生杀"));
    sense->setObjectName(QStringLiteral("fraSense"));
    auto* senseLayout = new QHBoxLayout(sense);
    m_keepOption = new QRadioButton(QStringLiteral("生"));
    m_keepOption->setObjectName(QStringLiteral("optKeep"));
    m_killOption = new QRadioButton(QStringLiteral("杀"));
    m_killOption->setObjectName(QStringLiteral("optKill"));
    connect(m_keepOption, &QRadioButton::clicked, this, [this] { onSenseChosen(false); });
    connect(m_killOption, &QRadioButton::clicked, this, [this] { onSenseChosen(true); });
    senseLayout->addWidget(m_keepOption);
    senseLayout->addWidget(m_killOption);
    layout->addWidget(sense);
    return row;
}

QWidget* SearchPanel::buildRangeFrame()
{
    auto* frame = new QGroupBox(QStringLiteral("公式参数"));
    frame->setObjectName(QStringLiteral("fraRanges"));
    auto* grid = new QGridLayout(frame);
    const QStringList labels{QStringLiteral("正确率"), QStringLiteral("最大连错"), QStringLiteral("最大连对"),
                             QStringLiteral("最后连错"), QStringLiteral("最后连对")};
    const QStringList defaults = QualificationRanges::formDefaults().texts();
    for (int row = 0; row < 5; ++row) {
        grid->addWidget(new QLabel(labels[row]), row, 0);
        for (int side = 0; side < 2; ++side) {
            const int j = row * 2 + side;
            m_rangeBoxes[j] = new QLineEdit(defaults[j]);
            m_rangeBoxes[j]->setObjectName(QStringLiteral("range%1").arg(j));
            grid->addWidget(m_rangeBoxes[j], row, side == 0 ? 1 : 3);
        }
        grid->addWidget(new QLabel(QStringLiteral("到")), row, 2);
    }
    return frame;
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

QWidget* SearchPanel::buildGeneratorFrames()
{
    auto* row = new QWidget;
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);

    auto* operands = new QGroupBox(QStringLiteral("公式元数"));
    operands->setObjectName(QStringLiteral("fraOperands"));
    auto* operandLayout = new QVBoxLayout(operands);
    operandLayout->addWidget(new QLabel(QStringLiteral("公式运算元数")));
    m_operandBox = readOnlyBox("txtOperands");
    operandLayout->addWidget(m_operandBox);
    m_operandBar = new QScrollBar(Qt::Horizontal);
    m_operandBar->setObjectName(QStringLiteral("hsbOperands"));
    m_operandBar->setRange(SearchSettings::kMinOperandCount, SearchSettings::kMaxOperandCount);
    m_operandBar->setValue(SearchSettings::kDefaultOperandCount);
    m_operandBox->setText(QString::number(SearchSettings::kDefaultOperandCount));
    connect(m_operandBar, &QScrollBar::valueChanged, this, &SearchPanel::onOperandCountChanged);
    operandLayout->addWidget(m_operandBar);
    layout->addWidget(operands);

    auto* tail = new QGroupBox(QStringLiteral("公式末尾偏移常数"));
    tail->setObjectName(QStringLiteral("fraTail"));
    auto* tailLayout = new QHBoxLayout(tail);
    auto* givenTailOption = new QRadioButton(QStringLiteral("指定"));
    givenTailOption->setObjectName(QStringLiteral("optGivenTail"));
    givenTailOption->setChecked(true);
    m_randomTailOption = new QRadioButton(QStringLiteral("随机"));
    m_randomTailOption->setObjectName(QStringLiteral("optRandomTail"));
    m_tailBox = new QLineEdit(QStringLiteral("0"));
    m_tailBox->setObjectName(QStringLiteral("txtTail"));
    m_tailBox->setMaximumWidth(60);
    tailLayout->addWidget(givenTailOption);
    tailLayout->addWidget(m_randomTailOption);
    tailLayout->addWidget(m_tailBox);
    layout->addWidget(tail);

    auto* form = new QGroupBox(QStringLiteral("公式形式"));
    form->setObjectName(QStringLiteral("fraForm"));
    auto* formLayout = new QVBoxLayout(form);
    auto* bracketOption = new QRadioButton(QStringLiteral("[Xxx类]A+B"));
    bracketOption->setObjectName(QStringLiteral("optBracketForm"));
    bracketOption->setChecked(true);
    m_nextDrawOption = new QRadioButton(QStringLiteral("A+B=下期杀xx"));
    m_nextDrawOption->setObjectName(QStringLiteral("optNextDrawForm"));
    formLayout->addWidget(bracketOption);
    formLayout->addWidget(m_nextDrawOption);
    layout->addWidget(form);
    return row;
}

QWidget* SearchPanel::buildCounters()
{
    auto* row = new QWidget;
    auto* counters = new QHBoxLayout(row);
    counters->setContentsMargins(0, 0, 0, 0);
    m_autoStopCheck = new QCheckBox(QStringLiteral("自动中止"));
    m_autoStopCheck->setObjectName(QStringLiteral("chkAutoStop"));
    m_autoStopBox = new QLineEdit(QStringLiteral("50"));
    m_autoStopBox->setObjectName(QStringLiteral("txtAutoStop"));
    m_autoStopBox->setMaximumWidth(60);
    connect(m_autoStopCheck, &QCheckBox::toggled, this, &SearchPanel::applyAutoStop);
    connect(m_autoStopBox, &QLineEdit::textChanged, this, &SearchPanel::applyAutoStop);
    counters->addWidget(m_autoStopCheck);
    counters->addWidget(m_autoStopBox);
    m_distinctCheck = new QCheckBox(QStringLiteral("跳过等价公式"));
    m_distinctCheck->setObjectName(QStringLiteral("chkDistinct"));
    m_distinctCheck->setToolTip(
        QStringLiteral("每一期预测都和已保存的同类公式或已搜到的公式相同的候选公式不算合格"));
    m_distinctCheck->setChecked(m_settings.skipEquivalents());
    connect(m_distinctCheck, &QCheckBox::toggled, this,
            [this](bool on) { m_settings.saveSkipEquivalents(on); });
    counters->addWidget(m_distinctCheck);
    counters->addWidget(new QLabel(QStringLiteral("当前验证公式数")));
    m_triedBox = readOnlyBox("txtTried");
    m_triedBox->setText(QStringLiteral("0"));
    fitDigits(m_triedBox, 10); // a long search tries millions
    counters->addWidget(m_triedBox);
    counters->addWidget(new QLabel(QStringLiteral("条")));
    // The count box sits inside its label, over the blanks before "合格".
    auto* qualifiedLabel = new QLabel(QStringLiteral("检索合格公式数               合格"));
    m_qualifiedBox = new QLineEdit(qualifiedLabel);
    m_qualifiedBox->setObjectName(QStringLiteral("txtQualified"));
    m_qualifiedBox->setReadOnly(true);
    m_qualifiedBox->setText(QStringLiteral("0"));
    {
        const QFontMetrics fm(qualifiedLabel->font());
        const int height = fm.height() + 6;
        qualifiedLabel->setMinimumHeight(height);
        // The box covers the blanks after the first one and leaves "合格" readable.
        const int left = fm.horizontalAdvance(QStringLiteral("检索合格公式数 "));
        const int right = fm.horizontalAdvance(qualifiedLabel->text().chopped(2)) - 2;
        m_qualifiedBox->setGeometry(left, 0, right - left, height);
        qualifiedLabel->setMinimumWidth(fm.horizontalAdvance(qualifiedLabel->text()) + 4);
    }
    counters->addWidget(qualifiedLabel);
    counters->addStretch();
    return row;
}

QWidget* SearchPanel::buildOptimumFrame()
{
    auto* frame = new QGroupBox(QStringLiteral("公式参数智能设置"));
    frame->setObjectName(QStringLiteral("fraOptimum"));
    auto* layout = new QVBoxLayout(frame);
    auto* samples = new QHBoxLayout;
    m_sampleBar = new QScrollBar(Qt::Horizontal);
    m_sampleBar->setObjectName(QStringLiteral("hsbSamples"));
    m_sampleBar->setRange(kMinSamples, kMaxSamples);
    m_sampleBar->setSingleStep(20);
    m_sampleBar->setPageStep(100);
    m_sampleBar->setValue(kMinSamples);
    m_sampleBox = readOnlyBox("txtSamples");
    m_sampleBox->setText(QString::number(kMinSamples));
    m_sampleBox->setMaximumWidth(60);
    connect(m_sampleBar, &QScrollBar::valueChanged, this,
            [this](int v) { m_sampleBox->setText(QString::number(v)); });
    samples->addWidget(m_sampleBar, 1);
    samples->addWidget(m_sampleBox);
    layout->addLayout(samples);
    m_optimumButton = dialogButton("cmdOptimum", QStringLiteral("当前公式类在指定范围内检索最优参数设置"));
    connect(m_optimumButton, &QPushButton::clicked, this, &SearchPanel::optimumForCurrentKind);
    m_optimumAllButton =
        dialogButton("cmdOptimumAll", QStringLiteral("所有公式类在指定范围内检索最优参数设置并保存"));
    connect(m_optimumAllButton, &QPushButton::clicked, this, &SearchPanel::optimumForAllKinds);
    layout->addWidget(m_optimumButton);
    layout->addWidget(m_optimumAllButton);
    return frame;
}

// ---- Kinds and modes -------------------------------------------------------------------------

void SearchPanel::onPositionChosen(int position)
{
    if (position == 1) {
        m_singleOption->setChecked(true);
        m_generalOption->setEnabled(false);
    } else {
        m_generalOption->setEnabled(true);
    }
    m_slot = position + (m_generalOption->isChecked() ? 3 : 0);
    loadKindRanges();
    loadOperandCount();
}

void SearchPanel::onSelectionChosen(bool single)
{
    int position = 1;
    for (int p = 1; p <= 3; ++p)
        if (m_positionOptions[p - 1]->isChecked())
            position = p;
    m_slot = position + (single ? 0 : 3);
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
    m_positionOptions[kind->position - 1]->setChecked(true);
    m_generalOption->setEnabled(kind->position != 1);
    (kind->single ? m_singleOption : m_generalOption)->setChecked(true);
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
    const int count = m_settings.operandCount(m_slot);
    m_operandBox->setText(QString::number(count));
    m_operandBar->setValue(count);
}

void SearchPanel::onOperandCountChanged(int value)
{
    m_operandBox->setText(QString::number(value));
    m_settings.saveOperandCount(m_slot, value);
}

QStringList SearchPanel::rangeTexts() const
{
    QStringList texts;
    for (const QLineEdit* box : m_rangeBoxes)
        texts << box->text();
    return texts;
}

void SearchPanel::setRangeTexts(const QStringList& texts)
{
    for (int j = 0; j < QualificationRanges::kBoxes; ++j)
        m_rangeBoxes[j]->setText(texts.value(j));
}

bool SearchPanel::generatorOptions(GeneratorOptions* options)
{
    options->operandCount = m_operandBar->value();
    options->randomTail = m_randomTailOption->isChecked();
    options->givenTail = 0;
    QString error;
    if (!options->randomTail &&
        !FormulaGenerator::givenTail(m_tailBox->text(), &options->givenTail, &error)) {
        MessageBoxes::warning(this, kTitle, error);
        m_tailBox->setFocus();
        return false;
    }
    return true;
}

ChineseFormStyle SearchPanel::chineseStyle() const
{
    return m_nextDrawOption->isChecked() ? ChineseFormStyle::NextDraw : ChineseFormStyle::Bracket;
}

SearchRules SearchPanel::rules() const
{
    Settings& s = m_workspace->settings();
    return {*KindSlot::kind(m_slot), m_kill, LookBackTable::draws(s.lookBackIndex()), s.weighted(),
            s.holdOut(), static_cast<PublicationOrder>(s.publicationOrderIndex())};
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
    m_kill = m_killOption->isChecked();

    SearchRunConfig config;
    config.evaluator = std::make_shared<CandidateEvaluator>(m_workspace->history().draws(), rules());
    config.generator = generator;
    config.style = chineseStyle();
    config.ranges = QualificationRanges::fromTexts(rangeTexts());
    config.seed = FormulaGenerator::freshSeed();
    config.threads = threadCount();
    if (m_autoStopCheck->isChecked())
        config.stopAt = NumericText::leadingValue(m_autoStopBox->text());
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
    m_triedBox->setText(QStringLiteral("0"));
    m_pollTimer->start();
    emit runningChanged();
}

void SearchPanel::applyAutoStop()
{
    if (!m_run)
        return;
    m_run->setStopAt(m_autoStopCheck->isChecked()
                         ? std::optional<double>(NumericText::leadingValue(m_autoStopBox->text()))
                         : std::nullopt);
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

bool SearchPanel::skipEquivalents() const
{
    return m_distinctCheck->isChecked();
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
    m_kill = m_killOption->isChecked();
    return m_kill;
}

void SearchPanel::setAutoStopTarget(double target)
{
    m_autoStopBox->setText(QString::number(target, 'g', 10));
}

void SearchPanel::showTried(qint64 tried)
{
    m_tried = tried;
    m_triedBox->setText(QString::number(m_tried));
}

void SearchPanel::showQualified(qsizetype count)
{
    m_qualifiedBox->setText(QString::number(count));
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
    m_optimumButton->setEnabled(!busy);
    m_optimumAllButton->setEnabled(!busy);
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
    const bool kill = m_killOption->isChecked();
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
    emit formulasChanged();
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
    m_settings.saveOperandCount(m_slot, m_operandBar->value());
}

// ---- Optimum ranges --------------------------------------------------------------------------

void SearchPanel::optimumForCurrentKind()
{
    if (isSearching())
        return;
    GeneratorOptions generator;
    if (!generatorOptions(&generator))
        return;
    const int samples = m_sampleBar->value();
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
    m_kill = m_killOption->isChecked();
    struct Job
    {
        int slot;
        GeneratorOptions options;
        std::unique_ptr<CandidateEvaluator> evaluator;
        OptimumFigures best;
        FormulaStats last;
    };
    std::vector<Job> jobs;
    const Settings& s = m_workspace->settings();
    for (int slot : {6, 5, 3, 2, 1}) {
        GeneratorOptions options = generator;
        options.operandCount = m_settings.operandCount(slot);
        auto evaluator = std::make_unique<CandidateEvaluator>(
            m_workspace->history().draws(),
            SearchRules{*KindSlot::kind(slot), m_kill, LookBackTable::draws(s.lookBackIndex()), s.weighted(),
                        s.holdOut(), static_cast<PublicationOrder>(s.publicationOrderIndex())});
        jobs.push_back({slot, options, std::move(evaluator), {}, {}});
    }
    const int samples = m_sampleBar->value();
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
