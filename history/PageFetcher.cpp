#include "history/PageFetcher.h"

#include <QEventLoop>
#include <QNetworkReply>
#include <QNetworkRequest>

PageFetcher::PageFetcher(QObject* parent) : QObject(parent)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        m_timedOut = true;
        if (m_reply)
            m_reply->abort();
    });
}

PageFetcher::~PageFetcher()
{
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
        m_reply->deleteLater();
    }
}

void PageFetcher::start(const QUrl& url)
{
    if (m_running)
        cancel();
    m_result = FetchResult{};
    m_timedOut = m_cancelled = m_tooLarge = false;
    m_running = true;
    if (!url.isValid() || url.scheme().isEmpty() || url.host().isEmpty()) {
        // Reported from the event loop like every other outcome, so callers see one path.
        QTimer::singleShot(0, this, [this, url] {
            if (m_running)
                finish(FetchResult::Failed, m_wording.badAddress.arg(url.toString()));
        });
        return;
    }
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    m_reply = m_manager.get(request);
    connect(m_reply, &QNetworkReply::downloadProgress, this, [this](qint64 received, qint64) {
        if (received > kMaxBytes && m_reply) {
            m_tooLarge = true;
            m_reply->abort();
        }
    });
    connect(m_reply, &QNetworkReply::finished, this, &PageFetcher::onReplyFinished);
    m_timer.start(m_timeoutMs);
}

void PageFetcher::cancel()
{
    if (!m_running)
        return;
    m_cancelled = true;
    if (m_reply)
        m_reply->abort();
    else
        finish(FetchResult::Cancelled, m_wording.cancelled);
}

void PageFetcher::onReplyFinished()
{
    QNetworkReply* reply = m_reply;
    if (!reply)
        return;
    m_reply = nullptr;
    reply->deleteLater();
    if (m_cancelled) {
        finish(FetchResult::Cancelled, m_wording.cancelled);
        return;
    }
    if (m_timedOut) {
        finish(FetchResult::TimedOut, m_wording.timedOut.arg(QString::number(m_timeoutMs / 1000.0, 'g', 3)));
        return;
    }
    if (m_tooLarge) {
        finish(FetchResult::Failed, m_wording.tooLarge);
        return;
    }
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status >= 400) {
        const QString reason = reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString();
        const QString code =
            reason.isEmpty() ? QString::number(status) : QStringLiteral("%1 %2").arg(status).arg(reason);
        finish(FetchResult::Failed, m_wording.httpError.arg(code));
        return;
    }
    if (reply->error() != QNetworkReply::NoError) {
        finish(FetchResult::Failed, m_wording.networkError.arg(reasonOf(reply->error())));
        return;
    }
    m_result.body = reply->readAll();
    m_result.contentType = reply->header(QNetworkRequest::ContentTypeHeader).toString();
    finish(FetchResult::Ok, QString());
}

void PageFetcher::finish(FetchResult::Status status, const QString& error)
{
    m_timer.stop();
    m_running = false;
    m_result.status = status;
    m_result.error = error;
    if (status != FetchResult::Ok)
        m_result.body.clear();
    emit finished();
}

FetchResult PageFetcher::fetch(const QUrl& url)
{
    QEventLoop loop;
    connect(this, &PageFetcher::finished, &loop, &QEventLoop::quit);
    start(url);
    if (m_running)
        loop.exec();
    return m_result;
}

QString PageFetcher::reasonOf(int networkError)
{
    switch (QNetworkReply::NetworkError(networkError)) {
    case QNetworkReply::HostNotFoundError:
        return QStringLiteral("找不到服务器：网址中的服务器名无法解析，请检查网址和网络连接");
    case QNetworkReply::ConnectionRefusedError:
        return QStringLiteral("服务器拒绝连接：该地址上没有网页服务，请检查网址和端口");
    case QNetworkReply::RemoteHostClosedError:
        return QStringLiteral("服务器提前断开了连接");
    case QNetworkReply::TimeoutError:
        return QStringLiteral("连接服务器超时");
    case QNetworkReply::OperationCanceledError:
        return QStringLiteral("连接被中止");
    case QNetworkReply::SslHandshakeFailedError:
        return QStringLiteral("无法建立安全连接（TLS/HTTPS）：服务器的证书无法验证，或服务器不支持安全连接");
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::NetworkSessionFailedError:
    case QNetworkReply::BackgroundRequestNotAllowedError:
    case QNetworkReply::UnknownNetworkError:
        return QStringLiteral("网络不可用，请检查网络连接");
    case QNetworkReply::TooManyRedirectsError:
        return QStringLiteral("网页转向次数过多");
    case QNetworkReply::InsecureRedirectError:
        return QStringLiteral("网页从安全连接（https）转向了不安全的连接（http），已拒绝");
    case QNetworkReply::ProxyConnectionRefusedError:
    case QNetworkReply::ProxyConnectionClosedError:
    case QNetworkReply::ProxyNotFoundError:
    case QNetworkReply::ProxyTimeoutError:
    case QNetworkReply::ProxyAuthenticationRequiredError:
    case QNetworkReply::UnknownProxyError:
        return QStringLiteral("无法通过代理服务器连接，请检查代理设置");
    case QNetworkReply::ProtocolUnknownError:
        return QStringLiteral("不支持网址的协议，请使用 http 或 https");
    case QNetworkReply::ProtocolFailure:
    case QNetworkReply::ProtocolInvalidOperationError:
        return QStringLiteral("服务器的回答不是有效的网页数据");
    default:
        return QStringLiteral("网络错误，代码 %1").arg(networkError);
    }
}
