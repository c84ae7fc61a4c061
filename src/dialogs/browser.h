#pragma once

#include <QUrl>

#include <functional>

// Opens an address in the user's web browser; the outcome is not looked at.
using BrowserFunction = std::function<void(const QUrl &)>;

[[nodiscard]] BrowserFunction desktopBrowser();
