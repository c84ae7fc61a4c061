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
#include <QPushButton>

std::optional<QString> import_cue::fetchWhileBusy(const QUrl &url, int timeoutMs,
                                                  const std::function<void(bool)> &showWaiting) const
{
    QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    showWaiting(true);
    std::optional<QString> reply = velvane::fetchText(url, timeoutMs);
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
    const auto showChecking = [button, action, idleText](bool waiting) {
        button->setText(waiting ? QStringLiteral("Checking…") : idleText);
        button->setEnabled(!waiting);
        action->setEnabled(!waiting);
    };
    const std::optional<QString> reply = url ? fetchWhileBusy(*url, config.fetchTimeoutMs, showChecking) : std::nullopt;
    const velvane::UpdateNotice update =
        velvane::updateNotice(velvane::intValue(reply.value_or(QString())), velvane::_version, config.supportMail);

    const int pressed = m_services.alert({update.notice.title, update.notice.message, update.notice.buttons});
    if (update.offersDownload && pressed == 0) {
        if (const auto page = velvane::downloadPageUrl(config.baseAddress))
            m_services.browser(*page);
    }
}

namespace {

void openDonationPage(const BrowserFunction &browser, velvane::Currency currency)
{
    const velvane::WebConfig config = velvane::webConfig();
    if (const auto page = velvane::donationUrl(config.paymentHost, config.payee, currency))
        browser(*page);
}

} // namespace

void import_cue::donateDollar()
{
    openDonationPage(m_services.browser, velvane::Currency::Dollar);
}

void import_cue::donateEuro()
{
    openDonationPage(m_services.browser, velvane::Currency::Euro);
}

void import_cue::gotoWebsite()
{
    m_services.browser(QUrl(velvane::webConfig().homePage));
}
