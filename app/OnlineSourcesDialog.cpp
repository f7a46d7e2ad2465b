#include "app/OnlineSourcesDialog.h"

#include "app/HelpLinks.h"
#include "formula/FormulaOnlineUpdate.h"
#include "history/PageFetcher.h"
#include "history/ResultsPageAddress.h"
#include "history/ResultsPageProbe.h"
#include "history/Workspace.h"
#include "store/Settings.h"
#include "ui/MessageBoxes.h"
#include "ui/NamedButton.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const QString kSection = QStringLiteral("IniSetting");

QLabel* noteLabel(const QString& text)
{
    auto* label = new QLabel(text);
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

// The host part after the province code must make a plain address: a host (with a port, if
// any) and nothing after it.
bool checkHost(const QString& provinceCode, const QString& host, QString* error)
{
    const QUrl url(ResultsPageAddress::base(provinceCode, host) + QStringLiteral("/"), QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty() || url.path() != QStringLiteral("/") || url.hasQuery() ||
        url.hasFragment() || !url.userInfo().isEmpty() || host.contains(QLatin1Char(' '))) {
        *error =
            QStringLiteral("开奖页面的主机名“%1”不正确：它接在省份代码之后组成网址的主机名（可以带端口），"
                           "例如 .kuai3.lan 或 .kuai3.lan:8080，不能含有空格、“/”或“?”。")
                .arg(host);
        return false;
    }
    return true;
}

bool checkFormulaUrl(const QString& text, QString* error)
{
    const QUrl url = QUrl::fromUserInput(text);
    if (!url.isValid() || url.host().isEmpty() ||
        (url.scheme() != QStringLiteral("http") && url.scheme() != QStringLiteral("https"))) {
        *error = QStringLiteral("公式文件地址“%1”不正确：应是以 http:// 或 https:// 开头的网址，"
                                "例如 http://192.168.1.10:8080/Pelq.txt。")
                     .arg(text);
        return false;
    }
    return true;
}

} // namespace

OnlineSourcesDialog::OnlineSourcesDialog(Workspace* workspace, QWidget* parent)
    : QDialog(parent), m_workspace(workspace), m_fetcher(new PageFetcher(this)),
      m_testTimeoutMs(PageFetcher::kDefaultTimeoutMs)
{
    setObjectName(QStringLiteral("frmSources"));
    setWindowTitle(QStringLiteral("在线数据源设置"));
    const Settings& s = workspace->settings();
    const Lottery lottery = workspace->lottery();

    m_hostBox = new QLineEdit(ResultsPageAddress::host(s));
    m_hostBox->setObjectName(QStringLiteral("txtResultsHost"));
    m_hostBox->setPlaceholderText(ResultsPageAddress::defaultHost());
    m_addressLabel = noteLabel(QString());
    m_addressLabel->setObjectName(QStringLiteral("lblResultsAddress"));
    m_testButton = dialogButton("cmdTestSource", QStringLiteral("测试连接"));
    m_testResult = noteLabel(QString());
    m_testResult->setObjectName(QStringLiteral("lblTestResult"));
    m_formulaBox = new QLineEdit(FormulaOnlineUpdate::url(s));
    m_formulaBox->setObjectName(QStringLiteral("txtFormulaUrl"));
    m_formulaBox->setPlaceholderText(FormulaOnlineUpdate::defaultUrl());
    m_videoBox = new QLineEdit(HelpLinks::address(s, HelpLinks::Link::Video));
    m_videoBox->setObjectName(QStringLiteral("txtVideoUrl"));
    m_slidesBox = new QLineEdit(HelpLinks::address(s, HelpLinks::Link::Slides));
    m_slidesBox->setObjectName(QStringLiteral("txtSlidesUrl"));
    for (QLineEdit* box : {m_hostBox, m_formulaBox, m_videoBox, m_slidesBox})
        box->setMinimumWidth(360);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("开奖页面主机名（省份代码之后的部分）："), m_hostBox);
    form->addRow(QString(),
                 noteLabel(QStringLiteral("默认：%1（保留的域名，永远无法连接，必须改成你自己的来源）")
                               .arg(ResultsPageAddress::defaultHost())));
    form->addRow(QString(), m_addressLabel);
    auto* test = new QHBoxLayout;
    test->addWidget(m_testButton);
    test->addWidget(m_testResult, 1);
    form->addRow(QString(), test);
    form->addRow(QStringLiteral("公式文件地址："), m_formulaBox);
    form->addRow(
        QString(),
        noteLabel(QStringLiteral("默认：%1（同样无法连接）").arg(FormulaOnlineUpdate::defaultUrl())));
    form->addRow(QStringLiteral("演示说明录像地址："), m_videoBox);
    form->addRow(QStringLiteral("幻灯图示说明地址："), m_slidesBox);
    form->addRow(QString(),
                 noteLabel(QStringLiteral("录像和幻灯默认：无（程序不附带）。可以填网址或本机文件的路径。")));

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("确定"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("取消"));
    connect(buttons, &QDialogButtonBox::accepted, this, &OnlineSourcesDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &OnlineSourcesDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(
        noteLabel(QStringLiteral("当前彩种：%1。开奖页面地址是 http:// + 省份代码 + 主机名 + /?n=期数。")
                      .arg(lottery.caption)));
    layout->addLayout(form);
    layout->addWidget(buttons);

    connect(m_hostBox, &QLineEdit::textChanged, this, &OnlineSourcesDialog::showAddress);
    connect(m_testButton, &QPushButton::clicked, this, &OnlineSourcesDialog::startTest);
    connect(m_fetcher, &PageFetcher::finished, this, &OnlineSourcesDialog::onTestFinished);
    showAddress();
}

OnlineSourcesDialog::~OnlineSourcesDialog() = default;

bool OnlineSourcesDialog::isTesting() const
{
    return m_fetcher->isRunning();
}

void OnlineSourcesDialog::showAddress()
{
    const QString host = m_hostBox->text().trimmed().isEmpty() ? ResultsPageAddress::defaultHost()
                                                               : m_hostBox->text().trimmed();
    m_addressLabel->setText(
        QStringLiteral("测试连接读取：%1")
            .arg(ResultsPageProbe::address(m_workspace->lottery().provinceCode, host).toString()));
}

void OnlineSourcesDialog::startTest()
{
    const QString typed = m_hostBox->text().trimmed();
    const QString host = typed.isEmpty() ? ResultsPageAddress::defaultHost() : typed;
    QString error;
    if (!checkHost(m_workspace->lottery().provinceCode, host, &error)) {
        m_testResult->setText(error);
        return;
    }
    m_testButton->setEnabled(false);
    m_testResult->setText(QStringLiteral("正在连接……"));
    m_fetcher->setTimeout(m_testTimeoutMs);
    m_fetcher->start(ResultsPageProbe::address(m_workspace->lottery().provinceCode, host));
}

void OnlineSourcesDialog::onTestFinished()
{
    QString message;
    ResultsPageProbe::describe(m_fetcher->result(), m_workspace->isRunningCountLottery(),
                               QDate::currentDate(), &message);
    m_testResult->setText(message);
    m_testButton->setEnabled(true);
}

void OnlineSourcesDialog::accept()
{
    const QString host = m_hostBox->text().trimmed();
    const QString formulaUrl = m_formulaBox->text().trimmed();
    QString error;
    if ((!host.isEmpty() && !checkHost(m_workspace->lottery().provinceCode, host, &error)) ||
        (!formulaUrl.isEmpty() && !checkFormulaUrl(formulaUrl, &error))) {
        MessageBoxes::warning(this, windowTitle(), error);
        return;
    }
    m_fetcher->cancel();
    // An empty box stores nothing but the default (the updates read an empty setting as such).
    Settings& s = m_workspace->settings();
    s.writeString(kSection, QStringLiteral("ResultsHost"), host);
    s.writeString(kSection, QStringLiteral("FormulaUrl"), formulaUrl);
    s.writeString(kSection, HelpLinks::settingKey(HelpLinks::Link::Video), m_videoBox->text().trimmed());
    s.writeString(kSection, HelpLinks::settingKey(HelpLinks::Link::Slides), m_slidesBox->text().trimmed());
    QDialog::accept();
}
