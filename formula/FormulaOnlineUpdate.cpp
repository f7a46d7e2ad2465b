#include "formula/FormulaOnlineUpdate.h"

#include "formula/FormulaClearAll.h"
#include "formula/FormulaTextFile.h"
#include "history/PageFetcher.h"
#include "history/Workspace.h"
#include "store/Database.h"
#include "store/Settings.h"

#include <QDir>
#include <QSaveFile>

const QString& FormulaOnlineUpdate::defaultUrl()
{
    // No public server publishes the formula file, so the default names a reserved domain that
    // never resolves: an update fails with a clear message until the user sets a real source.
    static const QString url = QStringLiteral("http://formula.kuai3.zorvane.example/Pelq.txt");
    return url;
}

QString FormulaOnlineUpdate::url(const Settings& settings)
{
    const QString stored =
        settings.readString(QStringLiteral("IniSetting"), QStringLiteral("FormulaUrl"), defaultUrl())
            .trimmed();
    return stored.isEmpty() ? defaultUrl() : stored;
}

QString FormulaOnlineUpdate::localFileName()
{
    return QStringLiteral("Pelq.txt");
}

QString FormulaOnlineUpdate::title()
{
    return QStringLiteral("读入历史");
}

QString FormulaOnlineUpdate::question()
{
    return QStringLiteral(
        "确实要在线更新公式吗？因为快3彩开奖频繁，该公式可能并不是当前最新的，因此自己搜索会更有时效性"
        "（软件已经设置了默认搜索的参数，也可以手动变更）。同意更新将删除软件中现有的所有公式，并可能要花"
        "费一段时间，网络不通或者我方服务器更新不及时可能都造成更新失败！");
}

FetchWording FormulaOnlineUpdate::wording()
{
    FetchWording w;
    w.badAddress = QStringLiteral("公式文件地址“%1”不正确。");
    w.cancelled = QStringLiteral("公式在线更新已取消。");
    w.timedOut = QStringLiteral("公式服务器在%1秒内没有送来完整的公式文件，已停止等待。");
    w.tooLarge = QStringLiteral("公式服务器送来的内容过大，不是公式文件。");
    w.httpError = QStringLiteral("公式服务器返回了错误（HTTP %1）。");
    w.networkError = QStringLiteral("无法从公式服务器下载公式文件（%1）。");
    return w;
}

FormulaOnlineUpdate::FormulaOnlineUpdate(Workspace& workspace, const FormulaKind& currentKind,
                                         bool currentKill, const FormulaUpdateOptions& options)
    : m_workspace(workspace), m_kind(currentKind), m_kill(currentKill),
      m_url(QUrl::fromUserInput(options.url.isEmpty() ? url(workspace.settings()) : options.url)),
      m_timeoutMs(options.timeoutMs > 0 ? options.timeoutMs : PageFetcher::kDefaultTimeoutMs)
{
}

QString FormulaOnlineUpdate::localPath() const
{
    return QDir(m_workspace.dataFolder()).filePath(localFileName());
}

bool FormulaOnlineUpdate::finish(const FetchResult& fetched, QString* message)
{
    m_imported = FormulaImportResult{};
    m_failedAtSource = false;
    if (fetched.status != FetchResult::Ok) {
        m_failedAtSource = fetched.status != FetchResult::Cancelled;
        *message = failureMessage(fetched.error);
        return false;
    }
    // The local copy is the file exactly as served, kept for the user to look at.
    QSaveFile local(localPath());
    if (!local.open(QIODevice::WriteOnly) || local.write(fetched.body) != fetched.body.size() ||
        !local.commit()) {
        *message = failureMessage(QStringLiteral("无法保存下载的公式文件“%1”：%2")
                                      .arg(QDir::toNativeSeparators(localPath()), local.errorString()));
        return false;
    }
    if (fetched.body.size() <= kMaxShortFileBytes) {
        m_failedAtSource = true;
        *message = failureMessage(
            QStringLiteral("服务器送来的公式文件只有%1字节，不是完整的公式文件").arg(fetched.body.size()));
        return false;
    }
    QString error;
    if (!replaceFormulas(fetched.body, &error)) {
        m_imported.added = 0;
        *message = failureMessage(error);
        return false;
    }
    *message = summary();
    return true;
}

bool FormulaOnlineUpdate::replaceFormulas(const QByteArray& bytes, QString* error)
{
    FormulaImportOptions options;
    options.startKind = m_kind;
    options.startKill = m_kill;
    options.noBracketOffset = kNoBracketOffset;
    options.prepareOnKindChange = false;
    Database& db = m_workspace.database();
    FormulaImport import(&db, options);
    QStringList lines;
    if (!FormulaTextFile::decode(bytes, &lines, error))
        return false;
    // Every stored formula goes: a copy of the database is kept first.
    if (!m_workspace.backupBefore(QStringLiteral("公式在线更新"), error))
        return false;
    Transaction tx(db.connection());
    if (!tx.begin(error) || !FormulaClearAll::clearAllInTransaction(&db, error) ||
        !import.importLinesInTransaction(lines, &m_imported, error))
        return false;
    // A page that is no formula file (an error page served as a success) must not empty the store.
    if (m_imported.added == 0) {
        m_failedAtSource = true;
        *error =
            QStringLiteral("下载的文件中没有一个可以识别的公式（共%1行无法识别）").arg(m_imported.rejected);
        return false;
    }
    return tx.commit(error);
}

bool FormulaOnlineUpdate::runBlocking(QString* message)
{
    PageFetcher fetcher;
    fetcher.setTimeout(m_timeoutMs);
    fetcher.setWording(wording());
    return finish(fetcher.fetch(m_url), message);
}

QString FormulaOnlineUpdate::summary() const
{
    QString text = QStringLiteral("公式在线更新完成：原有公式已全部删除，读入%1个公式").arg(m_imported.added);
    if (m_imported.rejected > 0)
        text += QStringLiteral("，跳过%1行无法识别的公式").arg(m_imported.rejected);
    return text + QStringLiteral("。");
}

QString FormulaOnlineUpdate::failureMessage(const QString& reason)
{
    QString text = reason.trimmed();
    if (!text.isEmpty() && !text.endsWith(QStringLiteral("。")))
        text += QStringLiteral("。");
    return text + QStringLiteral("公式在线更新没有完成，软件中的公式没有任何改动。");
}
