#include "import_cue/import_cue.h"

#include "core/text/intvalue.h"
#include "core/web/fetch.h"
#include "core/web/version.h"
#include "core/web/webconfig.h"
#include "core/web/webpages.h"

#include <QAction>
#include <QCursor>
#include <QGuiApplication>
#include <QMainWindow>
#include <QProgressDialog>
#include <QPushButton>

std::optional<QString> import_cue::fetchWhileBusy(const QUrl &url, int timeoutMs,
                                                  const std::function<void(bool)> &showWaiting,
                                                  velvane::FetchCancel &cancel) const
{
    QGuiApplication::setOverrideCursor(QCursor(Qt::BusyCursor));
    showWaiting(true);
    std::optional<QString> reply = velvane::fetchText(url, timeoutMs, &cancel);
    showWaiting(false);
    QGuiApplication::restoreOverrideCursor();
    return reply;
}

void import_cue::search_for_update()
{
    const velvane::WebConfig config = velvane::webConfig();
    const std::optional<QUrl> url = velvane::versionFileUrl(config.baseAddress);
    auto *button = hauptFenster->findChild<QPushButton *>(QStringLiteral("updateButton"));
    auto *action = hauptFenster->findChild<QAction *>(QStringLiteral("actionUpdate"));
    const QString idleText = button->text();
    // The wait is modal for the main window, which still repaints, and its Cancel ends the request at once.
    QProgressDialog waiting(QStringLiteral("Checking for updates…"), QStringLiteral("Cancel"), 0, 0, hauptFenster);
    waiting.setObjectName(QStringLiteral("updateWait"));
    waiting.setWindowTitle(QStringLiteral("Velvane"));
    waiting.setWindowModality(Qt::WindowModal);
    waiting.setMinimumDuration(0);
    waiting.setAutoReset(false);
    waiting.setAutoClose(false);
    velvane::FetchCancel cancel;
    connect(&waiting, &QProgressDialog::canceled, &cancel, &velvane::FetchCancel::cancel);
    const auto showChecking = [button, action, idleText, &waiting](bool busy) {
        button->setText(busy ? QStringLiteral("Checking…") : idleText);
        button->setEnabled(!busy);
        action->setEnabled(!busy);
        if (busy)
            waiting.show();
        else
            waiting.hide();
    };
    const std::optional<QString> reply =
        url ? fetchWhileBusy(*url, config.fetchTimeoutMs, showChecking, cancel) : std::nullopt;
    if (cancel.isCancelled())
        return;
    const velvane::UpdateNotice update =
        velvane::updateNotice(velvane::intValue(reply.value_or(QString())), velvane::_version, config.supportMail);

    const int pressed = m_services.alert({update.notice.title, update.notice.message, update.notice.buttons});
    if (update.offersDownload && pressed == 0) {
        if (const auto page = velvane::downloadPageUrl(config.baseAddress))
            openInBrowser(*page);
    }
}

// Without a browser the address would be lost; the alert shows it, selectable, so it can be copied.
void import_cue::openInBrowser(const QUrl &page)
{
    if (m_services.browser(page))
        return;
    m_services.alert({QStringLiteral("Velvane"),
                      QStringLiteral("No web browser could be opened. The page's address, to copy:\n%1")
                          .arg(page.toString(QUrl::FullyEncoded)),
                      {QStringLiteral("Ok")}});
}

namespace {

std::optional<QUrl> donationPage(velvane::Currency currency)
{
    const velvane::WebConfig config = velvane::webConfig();
    return velvane::donationUrl(config.paymentHost, config.payee, currency);
}

} // namespace

void import_cue::donateDollar()
{
    if (const auto page = donationPage(velvane::Currency::Dollar))
        openInBrowser(*page);
}

void import_cue::donateEuro()
{
    if (const auto page = donationPage(velvane::Currency::Euro))
        openInBrowser(*page);
}

void import_cue::gotoWebsite()
{
    openInBrowser(QUrl(velvane::webConfig().homePage));
}
