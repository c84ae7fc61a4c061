#include "dialogs/browser.h"

#include <QDesktopServices>

BrowserFunction desktopBrowser()
{
    return [](const QUrl &url) {
        return QDesktopServices::openUrl(url);
    };
}
