#pragma once

#include <QString>
#include <QUrl>

#include <optional>

namespace velvane {

// An http or https address with a host, parsed strictly (a space or a bad escape makes it invalid).
[[nodiscard]] std::optional<QUrl> webUrl(const QString &text);

// GETs the address and gives the whole reply body as UTF-8 text; none when the address is not an http(s) one,
// the fetch fails, the server answers with an HTTP error, or nothing arrives for timeoutMs.
// Blocks the caller but keeps the thread's event loop running without user input, so windows still repaint
// and timers fire; a GUI caller shows a busy cursor around it.
[[nodiscard]] std::optional<QString> fetchText(const QUrl &url, int timeoutMs);

} // namespace velvane
