#pragma once

#include <QByteArray>
#include <QNetworkAccessManager>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QUrl>

class QNetworkReply;

// How one page load ended.
struct FetchResult
{
    enum Status
    {
        Ok,
        Failed,
        TimedOut,
        Cancelled
    };
    Status status = Failed;
    QByteArray body;
    QString contentType;
    QString error; // Chinese, says what went wrong; empty when Ok
};

// The messages of a failed load, naming what is loaded and from where. The defaults are the
// results page's; %1 is the address, the seconds waited, the HTTP status or the network error.
struct FetchWording
{
    QString badAddress = QStringLiteral("开奖页面地址“%1”不正确。");
    QString cancelled = QStringLiteral("在线更新已取消。");
    QString timedOut = QStringLiteral("开奖服务器在%1秒内没有送来完整的页面，已停止等待。");
    QString tooLarge = QStringLiteral("开奖服务器送来的内容过大，不是开奖页面。");
    QString httpError = QStringLiteral("开奖服务器返回了错误（HTTP %1）。");
    QString networkError = QStringLiteral("无法从开奖服务器读取页面（%1）。");
};

// Loads one page over HTTP within a time bound, following redirects that are no less safe (not
// from https to http). Asynchronous use: start(), then finished() is
// emitted once (also after cancel() or the time-out); the window's event loop keeps running
// meanwhile. Synchronous use (command line): fetch() runs a local event loop until the load ends.
class PageFetcher : public QObject
{
    Q_OBJECT
public:
    static constexpr int kDefaultTimeoutMs = 30000;
    // A results page is a few hundred kilobytes; anything far larger is not one.
    static constexpr qint64 kMaxBytes = 16 * 1024 * 1024;

    explicit PageFetcher(QObject* parent = nullptr);
    ~PageFetcher() override;

    void setTimeout(int milliseconds) { m_timeoutMs = milliseconds; }
    int timeout() const { return m_timeoutMs; }
    void setWording(const FetchWording& wording) { m_wording = wording; }

    void start(const QUrl& url);
    void cancel();
    bool isRunning() const { return m_running; }
    const FetchResult& result() const { return m_result; }

    FetchResult fetch(const QUrl& url);

    // What a failed connection means, in the program's own Chinese words (Qt's own texts are
    // English): the server not found, refusing, silent, the secure connection failing, ….
    static QString reasonOf(int networkError);

signals:
    void finished();

private:
    void onReplyFinished();
    void finish(FetchResult::Status status, const QString& error);

    QNetworkAccessManager m_manager;
    QPointer<QNetworkReply> m_reply;
    QTimer m_timer;
    int m_timeoutMs = kDefaultTimeoutMs;
    FetchWording m_wording;
    bool m_running = false;
    bool m_timedOut = false;
    bool m_cancelled = false;
    bool m_tooLarge = false;
    FetchResult m_result;
};
