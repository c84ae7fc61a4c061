#include "core/web/fetch.h"

#include <QEventLoop>
#include <QLoggingCategory>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

using namespace Qt::StringLiterals;

namespace {

Q_LOGGING_CATEGORY(lcWeb, "velvane.web")

// A feedback request carries the sender's address and message in its query, and Qt's error texts quote the
// whole address; the log gets the server and path alone.
QUrl withoutPersonalText(const QUrl &url)
{
    return url.adjusted(QUrl::RemoveUserInfo | QUrl::RemoveQuery | QUrl::RemoveFragment);
}

bool isWebAddress(const QUrl &url)
{
    return url.isValid() && !url.host().isEmpty() && (url.scheme() == u"http"_s || url.scheme() == u"https"_s);
}

} // namespace

namespace velvane {

std::optional<QUrl> webUrl(const QString &text)
{
    const QUrl url(text, QUrl::StrictMode);
    // StrictMode still takes a text without scheme or host.
    if (!isWebAddress(url))
        return std::nullopt;
    return url;
}

void FetchCancel::cancel()
{
    m_cancelled = true;
    emit cancelled();
}

std::optional<QString> fetchText(const QUrl &url, int timeoutMs, FetchCancel *cancel)
{
    if (!isWebAddress(url)) {
        qCWarning(lcWeb) << "not a web address:" << withoutPersonalText(url);
        return std::nullopt;
    }

    QNetworkAccessManager manager;
    manager.setTransferTimeout(timeoutMs);
    QNetworkReply *reply = manager.get(QNetworkRequest(url));
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    if (cancel)
        QObject::connect(cancel, &FetchCancel::cancelled, &loop, &QEventLoop::quit);
    if (!reply->isFinished() && !(cancel && cancel->isCancelled()))
        loop.exec(cancel ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents);

    // The loop also ends when the user cancels, or when the application quits under it.
    if (!reply->isFinished() || (cancel && cancel->isCancelled())) {
        reply->abort();
        qCInfo(lcWeb) << "fetch ended before its reply:" << withoutPersonalText(url);
        return std::nullopt;
    }
    if (reply->error() != QNetworkReply::NoError) {
        qCWarning(lcWeb) << "fetch failed:" << withoutPersonalText(url) << reply->error()
                         << reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        return std::nullopt;
    }
    return QString::fromUtf8(reply->readAll());
}

} // namespace velvane
