#pragma once

#include <QUrl>

#include <functional>

// Opens an address in the user's web browser; false when no browser could be started.
using BrowserFunction = std::function<bool(const QUrl &)>;

[[nodiscard]] BrowserFunction desktopBrowser();
