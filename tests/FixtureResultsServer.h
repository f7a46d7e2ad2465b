#pragma once

#include <QByteArray>
#include <QMutex>
#include <QString>
#include <QThread>
#include <atomic>

class QObject;
class QTcpServer;
class QTcpSocket;

// A stand-in for the lottery's results server: answers every HTTP request on 127.0.0.1 (a free
// port) with the configured reply and records what was asked. It runs on its own thread, so a
// test may block (waiting for the command-line program or a synchronous load) while it answers.
class FixtureResultsServer
{
public:
    enum class Reply
    {
        Page,        // 200 with the page
        NotFound,    // 404
        ServerError, // 500
        GarbageBody, // 200 with bytes that are no page at all
        NotHttp,     // garbage bytes instead of an HTTP answer
        Truncated,   // the header promises the whole page, half of it comes, then the line closes
        Hang,        // reads the request and never answers
        Slow,        // the page after delayMs
        Redirect,    // 302 to the redirect path on this server, where the page is served
    };

    FixtureResultsServer();
    ~FixtureResultsServer();

    quint16 port() const { return m_port; }
    QString baseUrl() const; // "http://127.0.0.1:PORT"

    void setReply(Reply reply);
    void setPage(const QByteArray& body, const QByteArray& contentType = "text/html; charset=utf-8");
    void setDelayMs(int ms);
    void setRedirectPath(const QString& path); // with Reply::Redirect, e.g. "/moved/Pelq.txt"

    int requestCount() const { return m_requests.load(); }
    // The query value "n" of the last request; -1 before any request or when it had none.
    int lastCount() const;
    QString lastTarget() const; // path and query of the last request

    // A port on 127.0.0.1 where nothing listens: a server that is down.
    static quint16 closedPort();

private:
    void accept();
    void answer(QTcpSocket* socket, const QByteArray& requestLine);

    QThread m_thread;
    QObject* m_context = nullptr; // lives on m_thread; parent of the listening socket
    QTcpServer* m_server = nullptr;
    quint16 m_port = 0;
    std::atomic<int> m_requests{0};

    mutable QMutex m_mutex; // guards everything below
    Reply m_reply = Reply::Page;
    QByteArray m_page;
    QByteArray m_contentType = "text/html; charset=utf-8";
    int m_delayMs = 0;
    QString m_redirectPath = QStringLiteral("/moved");
    QString m_lastTarget;
};
