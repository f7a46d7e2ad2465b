#include "search/SearchWindow.h"

#include "formula/FormulaTableStore.h"
#include "history/Workspace.h"
#include "search/CandidateEvaluator.h"
#include "search/FormulaGenerator.h"
#include "search/KindSlot.h"
#include "search/NumericText.h"
#include "search/OptimumSearch.h"
#include "search/QualificationRanges.h"
#include "search/SchemeSearch.h"
#include "search/SearchResultExport.h"
#include "search/SearchResultModel.h"
#include "search/SearchResultSaver.h"
#include "search/SearchRun.h"
#include "store/Settings.h"
#include "ui/BackgroundTask.h"
#include "ui/DesktopOpener.h"
#include "ui/MessageBoxes.h"

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

// Colours of the all-kinds search's position labels: done (blue) and current (red).
const QColor kDoneColour(0, 0, 255);
const QColor kCurrentColour(255, 0, 0);

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

QString rangeBoxName(int j)
{
    return QStringLiteral("range%1").arg(j);
}

} // namespace

SearchWindow::SearchWindow(Workspace* workspace, QWidget* parent)
    : QDialog(parent), m_workspace(workspace), m_settings(&workspace->settings()),
      m_pollTimer(new QTimer(this))
{
    setObjectName(QStringLiteral("frmGSGL"));
    setWindowTitle(QStringLiteral("公式搜索设置以及搜索结果"));
    m_resultModel = new SearchResultModel(this);

    auto* left = new QVBoxLayout;
    left->addWidget(buildKindFrames());
    left->addWidget(buildRangeFrame());
    left->addWidget(buildCurrentFrame());
    left->addWidget(buildGeneratorFrames());

    auto* counters = new QHBoxLayout;
    m_autoStopCheck = new QCheckBox(QStringLiteral("自动中止"));
    m_autoStopCheck->setObjectName(QStringLiteral("chkAutoStop"));
    m_autoStopBox = new QLineEdit(QStringLiteral("50"));
    m_autoStopBox->setObjectName(QStringLiteral("txtAutoStop"));
    m_autoStopBox->setMaximumWidth(60);
    counters->addWidget(m_autoStopCheck);
    counters->addWidget(m_autoStopBox);
    counters->addWidget(new QLabel(QStringLiteral("当前验证公式数")));
    m_triedBox = readOnlyBox("txtTried");
    m_triedBox->setText(QStringLiteral("0"));
    m_triedBox->setMaximumWidth(100);
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
    left->addLayout(counters);

    m_currentFormulaBox = readOnlyBox("txtCurrentFormula");
    left->addWidget(m_currentFormulaBox);
    m_resultView = new QListView;
    m_resultView->setObjectName(QStringLiteral("lstResults"));
    m_resultView->setModel(m_resultModel);
    m_resultView->setUniformItemSizes(true);
    left->addWidget(m_resultView, 1);

    auto* buttons = new QGridLayout;
    m_startButton = addButton("cmdStart", QStringLiteral("开始搜索(&F)"));
    connect(m_startButton, &QPushButton::clicked, this, &SearchWindow::startSingleSearch);
    m_stopButton = addButton("cmdStop", QStringLiteral("暂停搜索(&E)"));
    connect(m_stopButton, &QPushButton::clicked, this, &SearchWindow::stopSingleSearch);
    m_appendButton = addButton("cmdAppend", QStringLiteral("公式追加到数据库(&A)"),
                               QStringLiteral("保留软件现有公式然后将所有合格公式追加到软件数据库。"));
    connect(m_appendButton, &QPushButton::clicked, this, [this] { saveResults(SaveKind::Append); });
    m_updateButton = addButton("cmdUpdate", QStringLiteral("公式更新到数据库(&N)"),
                               QStringLiteral("删除软件现有公式然后将所有合格公式添加到软件数据库。"));
    connect(m_updateButton, &QPushButton::clicked, this, [this] { saveResults(SaveKind::Update); });
    m_exportButton = addButton("cmdExport", QStringLiteral("公式中文导出"));
    connect(m_exportButton, &QPushButton::clicked, this, &SearchWindow::exportChinese);
    m_saveKindButton = addButton("cmdSaveKind", QStringLiteral("保存当前种类参数设置"));
    connect(m_saveKindButton, &QPushButton::clicked, this, &SearchWindow::saveCurrentKindSettings);
    buttons->addWidget(m_startButton, 0, 0);
    buttons->addWidget(m_stopButton, 0, 1);
    buttons->addWidget(m_saveKindButton, 0, 2);
    buttons->addWidget(m_appendButton, 1, 0);
    buttons->addWidget(m_updateButton, 1, 1);
    buttons->addWidget(m_exportButton, 1, 2);
    left->addLayout(buttons);

    auto* right = new QVBoxLayout;
    right->addWidget(buildSchemeFrame());
    right->addWidget(buildOptimumFrame());
    right->addStretch();

    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left, 3);
    layout->addLayout(right, 2);

    m_pollTimer->setInterval(kPollMs);
    connect(m_pollTimer, &QTimer::timeout, this, &SearchWindow::poll);

    // Opening: units single selection, kill, "公式新增数量"; the stored counts, the units kill
    // ranges and the operand count.
    m_positionOptions[0]->setChecked(true);
    m_singleOption->setChecked(true);
    m_generalOption->setEnabled(false);
    m_killOption->setChecked(true);
    m_newCountOption->setChecked(true);
    countStoredFormulas();
    loadKindRanges();
    loadOperandCount();
    updateControls();
}

SearchWindow::~SearchWindow()
{
    m_run.reset();
    m_scheme.reset();
}

QPushButton* SearchWindow::addButton(const char* objectName, const QString& caption, const QString& tooltip)
{
    auto* b = new QPushButton(caption);
    b->setObjectName(QLatin1String(objectName));
    b->setAutoDefault(false);
    if (!tooltip.isEmpty())
        b->setToolTip(tooltip);
    return b;
}

QWidget* SearchWindow::buildKindFrames()
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

QWidget* SearchWindow::buildRangeFrame()
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
            m_rangeBoxes[j]->setObjectName(rangeBoxName(j));
            grid->addWidget(m_rangeBoxes[j], row, side == 0 ? 1 : 3);
        }
        grid->addWidget(new QLabel(QStringLiteral("到")), row, 2);
    }
    return frame;
}

QWidget* SearchWindow::buildCurrentFrame()
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

QWidget* SearchWindow::buildGeneratorFrames()
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
    connect(m_operandBar, &QScrollBar::valueChanged, this, &SearchWindow::onOperandCountChanged);
    operandLayout->addWidget(m_operandBar);
    layout->addWidget(operands);

    auto* tail = new QGroupBox(QStringLiteral("公式末尾偏移常数"));
    tail->setObjectName(QStringLiteral("fraTail"));
    auto* tailLayout = new QHBoxLayout(tail);
    m_givenTailOption = new QRadioButton(QStringLiteral("指定"));
    m_givenTailOption->setObjectName(QStringLiteral("optGivenTail"));
    m_givenTailOption->setChecked(true);
    m_randomTailOption = new QRadioButton(QStringLiteral("随机"));
    m_randomTailOption->setObjectName(QStringLiteral("optRandomTail"));
    m_tailBox = new QLineEdit(QStringLiteral("0"));
    m_tailBox->setObjectName(QStringLiteral("txtTail"));
    m_tailBox->setMaximumWidth(60);
    tailLayout->addWidget(m_givenTailOption);
    tailLayout->addWidget(m_randomTailOption);
    tailLayout->addWidget(m_tailBox);
    layout->addWidget(tail);

    auto* form = new QGroupBox(QStringLiteral("公式形式"));
    form->setObjectName(QStringLiteral("fraForm"));
    auto* formLayout = new QVBoxLayout(form);
    m_bracketOption = new QRadioButton(QStringLiteral("[Xxx类]A+B"));
    m_bracketOption->setObjectName(QStringLiteral("optBracketForm"));
    m_bracketOption->setChecked(true);
    m_nextDrawOption = new QRadioButton(QStringLiteral("A+B=下期杀xx"));
    m_nextDrawOption->setObjectName(QStringLiteral("optNextDrawForm"));
    formLayout->addWidget(m_bracketOption);
    formLayout->addWidget(m_nextDrawOption);
    layout->addWidget(form);
    return row;
}

QWidget* SearchWindow::buildSchemeFrame()
{
    auto* frame = new QGroupBox(QStringLiteral("公式自动搜索方案设置"));
    frame->setObjectName(QStringLiteral("fraScheme"));
    auto* layout = new QVBoxLayout(frame);

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
            connect(m_targetBoxes[slot], &QLineEdit::editingFinished, this, &SearchWindow::recomputeTotals);
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
    m_newCountOption = new QRadioButton(QStringLiteral("公式新增数量"));
    m_newCountOption->setObjectName(QStringLiteral("optNewCount"));
    m_heldCountOption = new QRadioButton(QStringLiteral("公式保有数量"));
    m_heldCountOption->setObjectName(QStringLiteral("optHeldCount"));
    connect(m_newCountOption, &QRadioButton::clicked, this, [this] { onCountModeChosen(false); });
    connect(m_heldCountOption, &QRadioButton::clicked, this, [this] { onCountModeChosen(true); });
    modeLayout->addWidget(m_newCountOption);
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
    m_saveSchemeButton = addButton("cmdSaveScheme", QStringLiteral("保存设置"));
    connect(m_saveSchemeButton, &QPushButton::clicked, this, &SearchWindow::saveScheme);
    m_loadSchemeButton = addButton("cmdLoadScheme", QStringLiteral("调用设置"));
    connect(m_loadSchemeButton, &QPushButton::clicked, this, &SearchWindow::loadScheme);
    m_schemeStartButton = addButton("cmdSchemeStart", QStringLiteral("确定搜索方案开始搜索"));
    connect(m_schemeStartButton, &QPushButton::clicked, this, &SearchWindow::startSchemeSearch);
    m_schemePauseButton = addButton("cmdSchemePause", QStringLiteral("暂停"));
    connect(m_schemePauseButton, &QPushButton::clicked, this, &SearchWindow::pauseSchemeSearch);
    m_schemeResumeButton = addButton("cmdSchemeResume", QStringLiteral("继续"));
    connect(m_schemeResumeButton, &QPushButton::clicked, this, &SearchWindow::resumeSchemeSearch);
    buttons->addWidget(m_saveSchemeButton, 0, 0);
    buttons->addWidget(m_loadSchemeButton, 0, 1);
    buttons->addWidget(m_schemeStartButton, 1, 0, 1, 2);
    buttons->addWidget(m_schemePauseButton, 2, 0);
    buttons->addWidget(m_schemeResumeButton, 2, 1);
    layout->addLayout(buttons);
    return frame;
}

QWidget* SearchWindow::buildOptimumFrame()
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
    m_optimumButton = addButton("cmdOptimum", QStringLiteral("当前公式类在指定范围内检索最优参数设置"));
    connect(m_optimumButton, &QPushButton::clicked, this, &SearchWindow::optimumForCurrentKind);
    m_optimumAllButton =
        addButton("cmdOptimumAll", QStringLiteral("所有公式类在指定范围内检索最优参数设置并保存"));
    connect(m_optimumAllButton, &QPushButton::clicked, this, &SearchWindow::optimumForAllKinds);
    layout->addWidget(m_optimumButton);
    layout->addWidget(m_optimumAllButton);
    return frame;
}

// ---- Kinds and modes -------------------------------------------------------------------------

void SearchWindow::onPositionChosen(int position)
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

void SearchWindow::onSelectionChosen(bool single)
{
    int position = 1;
    for (int p = 1; p <= 3; ++p)
        if (m_positionOptions[p - 1]->isChecked())
            position = p;
    m_slot = position + (single ? 0 : 3);
    loadKindRanges();
    loadOperandCount();
}

void SearchWindow::onSenseChosen(bool kill)
{
    m_kill = kill;
    loadKindRanges();
}

void SearchWindow::chooseKind(int slot)
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

void SearchWindow::loadKindRanges()
{
    setRangeTexts(m_settings.ranges(KindSlot::kindNumber(m_slot), m_kill).texts());
}

void SearchWindow::loadOperandCount()
{
    const int count = m_settings.operandCount(m_slot);
    m_operandBox->setText(QString::number(count));
    m_operandBar->setValue(count);
}

void SearchWindow::onOperandCountChanged(int value)
{
    m_operandBox->setText(QString::number(value));
    m_settings.saveOperandCount(m_slot, value);
}

QStringList SearchWindow::rangeTexts() const
{
    QStringList texts;
    for (const QLineEdit* box : m_rangeBoxes)
        texts << box->text();
    return texts;
}

void SearchWindow::setRangeTexts(const QStringList& texts)
{
    for (int j = 0; j < QualificationRanges::kBoxes; ++j)
        m_rangeBoxes[j]->setText(texts.value(j));
}

bool SearchWindow::generatorOptions(GeneratorOptions* options)
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

ChineseFormStyle SearchWindow::chineseStyle() const
{
    return m_nextDrawOption->isChecked() ? ChineseFormStyle::NextDraw : ChineseFormStyle::Bracket;
}

SearchRules SearchWindow::rules() const
{
    Settings& s = m_workspace->settings();
    return {*KindSlot::kind(m_slot), m_kill, LookBackTable::draws(s.lookBackIndex()), s.weighted()};
}

int SearchWindow::threadCount()
{
    return static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

// ---- The searches ----------------------------------------------------------------------------

bool SearchWindow::isSearching() const
{
    return m_run || (m_scheme && !m_scheme->isFinished());
}

void SearchWindow::startSingleSearch()
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
    m_schemeFlag = false;
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
    m_run = std::make_unique<SearchRun>(config);
    m_run->start();
    m_triedBox->setText(QStringLiteral("0"));
    m_pollTimer->start();
    updateControls();
}

void SearchWindow::stopSingleSearch()
{
    if (!m_run)
        return;
    m_run->stop();
    m_run->wait();
    poll();
}

void SearchWindow::startSchemeSearch()
{
    if (m_run)
        return;
    GeneratorOptions generator;
    if (!generatorOptions(&generator))
        return;
    m_scheme.reset();
    m_schemeFlag = true;
    m_entries.clear(); // the qualified count starts again from 0
    m_kill = m_killOption->isChecked();
    m_schemeTriedBase = m_tried;

    SchemeConfig config;
    config.draws = m_workspace->history().draws();
    const Settings& s = m_workspace->settings();
    config.lookBackDraws = LookBackTable::draws(s.lookBackIndex());
    config.weighted = s.weighted();
    config.kill = m_kill;
    config.targets = schemeTargets();
    config.mode = m_heldCountOption->isChecked() ? CountMode::HeldFormulas : CountMode::NewFormulas;
    // The kinds that have a target are counted again; the window's figures stay.
    FormulaTableStore store(&m_workspace->database());
    for (int slot : KindSlot::schemeOrder()) {
        config.targets.storedCounts[slot] = 0;
        std::vector<FormulaRecord> rows;
        QString error;
        if (config.targets.targets[slot]) {
            if (!store.loadTable(*KindSlot::kind(slot), &rows, &error)) {
                MessageBoxes::warning(this, kTitle, error);
                return;
            }
            config.targets.storedCounts[slot] = int(rows.size());
        }
        config.ranges[slot] = m_settings.ranges(KindSlot::kindNumber(slot), m_kill);
        config.operandCounts[slot] = m_settings.operandCount(slot);
    }
    config.randomTail = generator.randomTail;
    config.givenTail = generator.givenTail;
    config.style = chineseStyle();
    config.seed = FormulaGenerator::freshSeed();
    config.threads = threadCount();
    m_scheme = std::make_unique<SchemeSearch>(std::move(config));
    m_scheme->start();
    m_schemeActive = true;
    m_qualifiedBox->setText(QStringLiteral("0"));
    if (!m_scheme->isFinished())
        enterSchemeSlot(m_scheme->currentSlot());
    m_pollTimer->start();
    updateControls();
    poll();
}

void SearchWindow::pauseSchemeSearch()
{
    if (m_scheme && !m_scheme->isFinished()) {
        m_scheme->pause();
        updateControls();
    }
}

void SearchWindow::resumeSchemeSearch()
{
    if (m_scheme && !m_scheme->isFinished() && m_scheme->isPaused()) {
        m_scheme->resume();
        updateControls();
    }
}

void SearchWindow::poll()
{
    if (m_run) {
        const SearchRun::Progress p = m_run->progress();
        takeResults(m_run->takeResults());
        m_tried = p.tried;
        m_triedBox->setText(QString::number(m_tried));
        m_qualifiedBox->setText(QString::number(m_entries.size()));
        if (p.hasCurrent)
            showCurrent(p.currentChinese, p.currentStats);
        if (p.finished) {
            m_run->wait();
            m_run.reset();
            updateControls();
            if (p.listFull)
                MessageBoxes::warning(this, kTitle, kListFull);
        }
    }
    if (m_scheme && m_schemeActive) {
        const std::vector<int> leftBehind = m_scheme->advance();
        takeResults(m_scheme->takeResults());
        showSlotMoves(leftBehind);
        if (!leftBehind.empty() && !m_scheme->isFinished())
            enterSchemeSlot(m_scheme->currentSlot());
        m_tried = m_schemeTriedBase + m_scheme->tried();
        m_triedBox->setText(QString::number(m_tried));
        m_qualifiedBox->setText(QString::number(m_scheme->kindQualified()));
        const SearchRun::Progress p = m_scheme->currentProgress();
        if (p.hasCurrent)
            showCurrent(p.currentChinese, p.currentStats);
        if (m_scheme->isFinished()) {
            m_schemeActive = false;
            finishSchemeSearch();
        }
    }
    if (!isSearching())
        m_pollTimer->stop();
}

void SearchWindow::takeResults(std::vector<SearchResult> results)
{
    if (results.empty())
        return;
    QStringList forms;
    for (SearchResult& r : results) {
        forms << r.chinese;
        m_entries.push_back(std::move(r));
    }
    m_resultModel->append(forms);
    m_resultView->scrollToBottom();
    showCurrent(m_entries.back().chinese, m_entries.back().stats);
}

void SearchWindow::showCurrent(const QString& chinese, const FormulaStats& stats)
{
    m_currentFormulaBox->setText(chinese);
    m_currentBoxes[0]->setText(QString::number(double(stats.rate), 'g', 7));
    m_currentBoxes[1]->setText(QString::number(stats.maxMissRun));
    m_currentBoxes[2]->setText(QString::number(stats.maxHitRun));
    m_currentBoxes[3]->setText(QString::number(stats.finalMissRun));
    m_currentBoxes[4]->setText(QString::number(stats.finalHitRun));
}

void SearchWindow::showSlotMoves(const std::vector<int>& leftBehind)
{
    auto colour = [this](int slot, const QColor& c) {
        QPalette p = m_slotLabels[slot]->palette();
        p.setColor(QPalette::WindowText, c);
        m_slotLabels[slot]->setPalette(p);
    };
    for (int slot : leftBehind) {
        colour(slot, kDoneColour);
        const int next = KindSlot::next(slot);
        if (next != KindSlot::kFinished)
            colour(next, kCurrentColour);
    }
}

void SearchWindow::enterSchemeSlot(int slot)
{
    // The kind's buttons, stored ranges and operand count, and its target in the auto-stop box.
    chooseKind(slot);
    const std::optional<double> target =
        SchemePlan::kindTarget(slot, m_scheme->config().targets, m_scheme->config().mode);
    if (target)
        m_autoStopBox->setText(QString::number(*target, 'g', 10));
}

void SearchWindow::finishSchemeSearch()
{
    m_tried = m_schemeTriedBase + m_scheme->tried();
    m_triedBox->setText(QString::number(m_tried));
    m_qualifiedBox->setText(QStringLiteral("0"));
    updateControls();
    if (m_autoAppendCheck->isChecked())
        saveResults(SaveKind::Append);
    else if (m_autoUpdateCheck->isChecked())
        saveResults(SaveKind::Update);
}

void SearchWindow::updateControls()
{
    const bool single = m_run != nullptr;
    const bool scheme = m_scheme && !m_scheme->isFinished();
    const bool schemeRunning = scheme && !m_scheme->isPaused();
    const bool busy = single || scheme;
    m_startButton->setEnabled(!busy);
    m_schemeStartButton->setEnabled(!single && !schemeRunning);
    m_schemePauseButton->setEnabled(schemeRunning);
    m_schemeResumeButton->setEnabled(scheme && m_scheme->isPaused());
    m_optimumButton->setEnabled(!busy);
    m_optimumAllButton->setEnabled(!busy);
    m_appendButton->setEnabled(!single && !schemeRunning);
    m_updateButton->setEnabled(!single && !schemeRunning);
    // A run keeps the kind, sense and candidate shape it started with.
    for (const char* name : {"fraPosition", "fraSelection", "fraSense", "fraOperands", "fraTail", "fraForm"})
        if (auto* frame = findChild<QGroupBox*>(QLatin1String(name)))
            frame->setEnabled(!busy);
}

void SearchWindow::reject()
{
    // Closing ends the searches; results not yet saved are given up only when the user agrees.
    const bool schemeWasRunning = m_scheme && !m_scheme->isFinished() && !m_scheme->isPaused();
    if (m_run)
        stopSingleSearch();
    if (schemeWasRunning)
        m_scheme->pause();
    poll();
    if (!m_entries.empty() &&
        !MessageBoxes::question(
            this, kTitle,
            QStringLiteral("还有%1条搜索合格的公式没有保存到数据库，关闭窗口将放弃这些公式，是否关闭？")
                .arg(m_entries.size()))) {
        if (schemeWasRunning)
            m_scheme->resume();
        updateControls();
        return;
    }
    m_pollTimer->stop();
    m_scheme.reset();
    m_schemeActive = false;
    QDialog::reject();
}

// ---- Saving, export, settings ----------------------------------------------------------------

void SearchWindow::saveResults(SaveKind kind)
{
    const bool kill = m_killOption->isChecked();
    const std::optional<FormulaKind> lastKind =
        m_entries.empty() ? std::nullopt : std::optional<FormulaKind>(m_entries.back().kind);
    std::vector<FormulaKind> saved;
    QString error;
    const bool ok = SearchResultSaver::save(&m_workspace->database(), m_entries,
                                            kind == SaveKind::Append ? SearchResultSaver::Mode::Append
                                                                     : SearchResultSaver::Mode::Update,
                                            kill, &saved, &error);
    std::erase_if(m_entries, [&saved](const SearchResult& e) {
        return std::find(saved.begin(), saved.end(), e.kind) != saved.end();
    });
    if (ok && !m_schemeFlag && lastKind)
        chooseKind(KindSlot::of(*lastKind));
    m_formulasChanged = true;
    emit formulasChanged();
    if (ok)
        MessageBoxes::information(this, kSaveTitle, kSaveDone);
    else
        MessageBoxes::warning(this, kSaveTitle, error);
    if (!m_scheme || m_scheme->isFinished())
        m_qualifiedBox->setText(QString::number(m_entries.size()));
}

void SearchWindow::exportChinese()
{
    const QString path = SearchResultExport::filePath(m_workspace->dataFolder(), m_workspace->nextIssue());
    QString error;
    if (!SearchResultExport::write(path, m_resultModel->forms(), &error)) {
        MessageBoxes::warning(this, kTitle, error);
        return;
    }
    DesktopOpener::open(path);
}

void SearchWindow::saveCurrentKindSettings()
{
    m_settings.saveRanges(KindSlot::kindNumber(m_slot), m_kill, rangeTexts());
    m_settings.saveOperandCount(m_slot, m_operandBar->value());
}

void SearchWindow::saveScheme()
{
    for (int slot = 1; slot <= 6; ++slot)
        m_settings.saveSchemeTarget(slot, m_kill, m_targetBoxes[slot]->text());
}

void SearchWindow::loadScheme()
{
    for (int slot = 1; slot <= 6; ++slot)
        m_targetBoxes[slot]->setText(m_settings.schemeTargetText(slot, m_kill));
    m_targetBoxes[4]->setText(QStringLiteral("0"));
    recomputeTotals();
}

void SearchWindow::countStoredFormulas()
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

SchemeTargets SearchWindow::schemeTargets() const
{
    SchemeTargets t;
    for (int slot = 1; slot <= 6; ++slot)
        t.targets[slot] = NumericText::value(m_targetBoxes[slot]->text());
    t.storedCounts = m_storedCounts;
    return t;
}

void SearchWindow::recomputeTotals()
{
    const CountMode mode = m_heldCountOption->isChecked() ? CountMode::HeldFormulas : CountMode::NewFormulas;
    const int still = SchemePlan::stillToFind(schemeTargets(), mode);
    m_totalLabel->setText(
        QString::number(SchemePlan::totalHeld(still, m_totalStored, m_autoAppendCheck->isChecked())));
}

void SearchWindow::onCountModeChosen(bool held)
{
    m_autoAppendCheck->setChecked(held);
    m_autoUpdateCheck->setChecked(!held);
    recomputeTotals();
}

void SearchWindow::onAutoSaveToggled(QCheckBox* box, bool checked)
{
    if (checked)
        (box == m_autoAppendCheck ? m_autoUpdateCheck : m_autoAppendCheck)->setChecked(false);
    recomputeTotals();
}

// ---- Optimum ranges --------------------------------------------------------------------------

int SearchWindow::sampleCount() const
{
    return m_sampleBar->value();
}

void SearchWindow::optimumForCurrentKind()
{
    if (isSearching())
        return;
    GeneratorOptions generator;
    if (!generatorOptions(&generator))
        return;
    const int samples = sampleCount();
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
    m_tried = samples;
    m_triedBox->setText(QString::number(m_tried));
    showCurrent(m_currentFormulaBox->text(), last);
    QStringList texts = rangeTexts();
    OptimumSearch::writeInto(best, &texts);
    setRangeTexts(texts);
}

void SearchWindow::optimumForAllKinds()
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
            SearchRules{*KindSlot::kind(slot), m_kill, LookBackTable::draws(s.lookBackIndex()),
                        s.weighted()});
        jobs.push_back({slot, options, std::move(evaluator), {}, {}});
    }
    const int samples = sampleCount();
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
    m_tried = samples;
    m_triedBox->setText(QString::number(m_tried));
}
