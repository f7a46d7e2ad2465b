#include "killkeep/KillKeepWindow.h"

#include "killkeep/RankingBuilder.h"
#include "ui/GridExport.h"
#include "ui/MessageBoxes.h"

#include <QDir>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const QString kExportFile = QStringLiteral("ErrarrLei.xlsx");

void tellExportFailed(QWidget* parent, const QString& detail)
{
    MessageBoxes::warning(parent, QStringLiteral("列表显示错误"),
                          QStringLiteral("您的电脑没有安装Microsoft Excel表格软件，多参数列表无法显示\n") +
                              detail);
}

} // namespace

KillKeepWindow::KillKeepWindow(const QString& dataFolder, QWidget* parent)
    : QWidget(parent, Qt::Window), m_dataFolder(dataFolder), m_layout(new QVBoxLayout(this)),
      m_replayButton(new QPushButton(QStringLiteral("计算方法回测(&R)"), this)),
      m_detailButton(new QPushButton(QStringLiteral("详细结果列表(&D)"), this)),
      m_exportButton(new QPushButton(QStringLiteral("导出列表(&E)"), this))
{
    setWindowTitle(QStringLiteral("杀留值排序(鼠标双击列表反向排序)"));
    setWindowModality(Qt::NonModal);
    resize(720, 600);
    m_replayButton->setObjectName(QStringLiteral("replayButton"));
    m_replayButton->setToolTip(QStringLiteral("用同样的方法回测过去若干期：看滤杀的号码有多少真的没有开出"));
    m_detailButton->setObjectName(QStringLiteral("detailButton"));
    m_exportButton->setObjectName(QStringLiteral("exportButton"));
    m_detailButton->setVisible(false);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_replayButton);
    buttons->addStretch();
    buttons->addWidget(m_detailButton);
    buttons->addWidget(m_exportButton);
    m_layout->addLayout(buttons);

    connect(m_replayButton, &QPushButton::clicked, this, &KillKeepWindow::replayRequested);
    connect(m_detailButton, &QPushButton::clicked, this, &KillKeepWindow::detailListRequested);
    connect(m_exportButton, &QPushButton::clicked, this, &KillKeepWindow::exportList);
}

void KillKeepWindow::setContent(QWidget* content)
{
    m_layout->insertWidget(0, content, 1);
}

void KillKeepWindow::setDetailButtonShown(bool shown)
{
    m_detailButton->setVisible(shown);
}

void KillKeepWindow::exportList()
{
    if (const RankingBuilder* ranking = exportedRanking())
        exportRanking(this, *ranking, m_dataFolder);
}

bool KillKeepWindow::exportRanking(QWidget* parent, const RankingBuilder& ranking, const QString& dataFolder)
{
    const QString path = QDir(dataFolder).filePath(kExportFile);
    QString error;
    if (!ranking.writeWorkbook(path, &error)) {
        tellExportFailed(parent, error);
        return false;
    }
    GridExport::openWritten(parent, path);
    return true;
}
