#pragma once

#include <QObject>
#include <QString>
#include <QUrl>

#include <optional>

namespace velvane {

// An http or https address with a host, parsed strictly (a space or a bad escape makes it invalid).
[[nodiscard]] std::optional<QUrl> webUrl(const QString &text);

// Lets the user end a fetch that is waiting: cancel() on the fetching thread (a Cancel button) ends it at once.
class FetchCancel : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    void cancel();
    [[nodiscard]] bool isCancelled() const { return m_cancelled; }

signals:
    void cancelled();

private:
    bool m_cancelled = false;
};

// GETs the address and gives the whole reply body as UTF-8 text; none when the address is not an http(s) one,
// the fetch fails, the server answers with an HTTP error, nothing arrives for timeoutMs, or it is cancelled.
// Blocks the caller but keeps the thread's event loop running, so windows still repaint and timers fire. Without
// a cancel it takes no user input meanwhile; with one it does, so the caller makes the wait modal and offers the
// control that cancels.
[[nodiscard]] std::optional<QString> fetchText(const QUrl &url, int timeoutMs, FetchCancel *cancel = nullptr);

} // namespace velvane
