#include "FixtureResultsServer.h"

#include <QHostAddress>
#include <QMetaObject>
#include <QMutexLocker>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QUrlQuery>

#include <arpa/inet.h>
#include <memory>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// An HTTP answer; announcedLength other than the body's size makes a broken one.
QByteArray response(int status, const QByteArray& reason, const QByteArray& contentType,
                    const QByteArray& body, qsizetype announcedLength = -1)
{
    if (announcedLength < 0)
        announcedLength = body.size();
    return "HTTP/1.1 " + QByteArray::number(status) + ' ' + reason + "\r\nContent-Type: " + contentType +
           "\r\nContent-Length: " + QByteArray::number(announcedLength) + "\r\nConnection: close\r\n\r\n" +
           body;
}

QByteArray garbage(int size)
{
    QByteArray bytes(size, '\0');
    quint32 x = 2463534242u;
    for (auto& b : bytes) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        b = char(x & 0xFF);
    }
    return bytes;
}

void sendAndClose(QTcpSocket* socket, const QByteArray& bytes)
{
    socket->write(bytes);
    socket->disconnectFromHost();
}

} // namespace

FixtureResultsServer::FixtureResultsServer()
{
    m_context = new QObject;
    m_context->moveToThread(&m_thread);
    m_thread.start();
    QMetaObject::invokeMethod(
        m_context,
        [this] {
            m_server = new QTcpServer(m_context);
            m_server->listen(QHostAddress::LocalHost, 0);
            m_port = m_server->serverPort();
            QObject::connect(m_server, &QTcpServer::newConnection, m_context, [this] { accept(); });
        },
        Qt::BlockingQueuedConnection);
}

FixtureResultsServer::~FixtureResultsServer()
{
    // Sockets and the listener are children of the context: delete them on their own thread.
    QMetaObject::invokeMethod(
        m_context, [this] { qDeleteAll(m_context->children()); }, Qt::BlockingQueuedConnection);
    m_thread.quit();
    m_thread.wait();
    delete m_context;
}

QString FixtureResultsServer::baseUrl() const
{
    return QStringLiteral("http://127.0.0.1:%1").arg(m_port);
}

void FixtureResultsServer::setReply(Reply reply)
{
    QMutexLocker lock(&m_mutex);
    m_reply = reply;
}

void FixtureResultsServer::setPage(const QByteArray& body, const QByteArray& contentType)
{
    QMutexLocker lock(&m_mutex);
    m_page = body;
    m_contentType = contentType;
}

void FixtureResultsServer::setDelayMs(int ms)
{
    QMutexLocker lock(&m_mutex);
    m_delayMs = ms;
}

void FixtureResultsServer::setRedirectPath(const QString& path)
{
    QMutexLocker lock(&m_mutex);
    m_redirectPath = path;
}

int FixtureResultsServer::lastCount() const
{
    QMutexLocker lock(&m_mutex);
    const int q = int(m_lastTarget.indexOf('?'));
    if (q < 0)
        return -1;
    bool ok = false;
    const int n = QUrlQuery(m_lastTarget.mid(q + 1)).queryItemValue(QStringLiteral("n")).toInt(&ok);
    return ok ? n : -1;
}

QString FixtureResultsServer::lastTarget() const
{
    QMutexLocker lock(&m_mutex);
    return m_lastTarget;
}

quint16 FixtureResultsServer::closedPort()
{
    // Bound but never listening: a connection is refused, and as the port stays bound until the
    // test program ends, no other test running beside it can be handed the same port.
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return 0;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ::close(fd);
        return 0;
    }
    return ntohs(address.sin_port);
}

void FixtureResultsServer::accept()
{
    while (QTcpSocket* socket = m_server->nextPendingConnection()) {
        socket->setParent(m_context);
        auto received = std::make_shared<QByteArray>();
        QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket, received] {
            if (received->contains("\r\n\r\n"))
                return; // answered already; ignore anything after the request
            *received += socket->readAll();
            if (received->contains("\r\n\r\n"))
                answer(socket, received->left(received->indexOf("\r\n")));
        });
    }
}

void FixtureResultsServer::answer(QTcpSocket* socket, const QByteArray& requestLine)
{
    Reply reply;
    QByteArray page, contentType;
    int delayMs;
    QString redirectPath;
    {
        QMutexLocker lock(&m_mutex);
        const QList<QByteArray> parts = requestLine.split(' ');
        m_lastTarget = parts.size() >= 2 ? QString::fromLatin1(parts[1]) : QString();
        reply = m_reply;
        page = m_page;
        contentType = m_contentType;
        delayMs = m_delayMs;
        redirectPath = m_redirectPath;
        if (reply == Reply::Redirect && m_lastTarget == redirectPath)
            reply = Reply::Page;
    }
    ++m_requests;
    switch (reply) {
    case Reply::Page:
        sendAndClose(socket, response(200, "OK", contentType, page));
        break;
    case Reply::NotFound:
        sendAndClose(socket, response(404, "Not Found", "text/html", "<html><body>404</body></html>"));
        break;
    case Reply::ServerError:
        sendAndClose(socket, response(500, "Internal Server Error", "text/html", "<h1>500</h1>"));
        break;
    case Reply::GarbageBody: {
        const QByteArray bytes = garbage(8192);
        sendAndClose(socket, response(200, "OK", "application/octet-stream", bytes));
        break;
    }
    case Reply::NotHttp:
        sendAndClose(socket, garbage(512));
        break;
    case Reply::Truncated:
        sendAndClose(socket, response(200, "OK", contentType, page.left(page.size() / 2), page.size()));
        break;
    case Reply::Redirect:
        sendAndClose(socket, "HTTP/1.1 302 Found\r\nLocation: " + redirectPath.toLatin1() +
                                 "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
        break;
    case Reply::Hang:
        break;
    case Reply::Slow:
        QTimer::singleShot(delayMs, socket, [socket, contentType, page] {
            sendAndClose(socket, response(200, "OK", contentType, page));
        });
        break;
    }
}
