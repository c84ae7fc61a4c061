#include "import_cue/webactions.h"

#include "core/text/intvalue.h"
#include "core/web/feedback.h"
#include "core/web/fetch.h"
#include "core/web/version.h"
#include "core/web/webconfig.h"
#include "core/web/webpages.h"
#include "ui_feedbackFenster.h"

#include <QAction>
#include <QCursor>
#include <QDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QSysInfo>
#include <QTextCursor>
#include <QTextDocument>

namespace {

Alert toAlert(const velvane::Notice &notice)
{
    return {notice.title, notice.message, notice.buttons};
}

// The message as typed. toPlainText() would turn a no-break space into a space and a line separator into a line
// feed; the raw text keeps every code unit and only marks the breaks between paragraphs, which are the line
// feeds the user typed.
QString typedMessage(const QPlainTextEdit &edit)
{
    return edit.document()->toRawText().replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
}

} // namespace

WebActions::WebActions(QDialog *feedbackSheet, QWidget *mainWindow, QAbstractButton *updateButton,
                       QAction *updateAction, AlertFunction alert, BrowserFunction browser)
    : m_form(std::make_unique<Ui::feedbackFenster>())
    , m_sheet(feedbackSheet)
    , m_mainWindow(mainWindow)
    , m_updateButton(updateButton)
    , m_updateAction(updateAction)
    , m_alert(std::move(alert))
    , m_browser(std::move(browser))
{
    m_form->setupUi(m_sheet);
    connect(m_form->sendButton, &QPushButton::clicked, this, &WebActions::sendFeedback);
    // While a message is on its way, Cancel ends the request and keeps the form, so it can be sent again; Escape and
    // the close box end the request along with the form.
    connect(m_form->cancelButton, &QPushButton::clicked, this, [this] {
        if (m_sending)
            m_sending->cancel();
        else
            closeFeedback();
    });
    connect(m_sheet, &QDialog::finished, this, [this] {
        if (m_sending)
            m_sending->cancel();
    });
    connect(m_form->feedbackMessage, &QPlainTextEdit::textChanged, this, &WebActions::feedbackTextChanged);
}

WebActions::~WebActions() = default;

void WebActions::openFeedback()
{
    m_form->feedbackInfos->setText(velvane::informationBlock(QSysInfo::prettyProductName(), velvane::_version));
    m_sheet->open();
}

void WebActions::closeFeedback()
{
    m_sheet->done(QDialog::Rejected);
    m_sheet->close();
}

void WebActions::feedbackTextChanged()
{
    const QString message = typedMessage(*m_form->feedbackMessage);
    const qsizetype kept = velvane::feedbackKeptLength(message);
    if (kept < message.size()) {
        // Cut through a cursor rather than replacing the text, so the undo history and the caret survive the cut.
        // The cut changes the text again and so re-enters here, now within the limit.
        QTextCursor cursor(m_form->feedbackMessage->document());
        cursor.setPosition(int(kept));
        cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
        cursor.removeSelectedText();
        return;
    }
    m_form->charLeft->setText(QString::number(velvane::kFeedbackLimit - message.size()));
}

void WebActions::sendFeedback()
{
    const QString mail = m_form->mailaddy->text();
    if (mail.isEmpty()) {
        m_alert(toAlert(velvane::missingAddressNotice()));
        return;
    }

    const velvane::WebConfig config = velvane::webConfig();
    const std::optional<QUrl> url = velvane::feedbackUrl(
        config.baseAddress, mail, typedMessage(*m_form->feedbackMessage), m_form->feedbackInfos->text());
    // The form is modal for the main window; while it waits, only its Cancel takes input.
    const auto showSending = [this](bool waiting) {
        m_form->sendingNote->setVisible(waiting);
        m_form->sendButton->setEnabled(!waiting);
        m_form->mailaddy->setReadOnly(waiting);
        m_form->feedbackMessage->setReadOnly(waiting);
    };
    velvane::FetchCancel cancel;
    m_sending = &cancel;
    const std::optional<QString> reply =
        url ? fetchWhileBusy(*url, config.fetchTimeoutMs, showSending, cancel) : std::nullopt;
    m_sending = nullptr;
    if (cancel.isCancelled())
        return;
    if (velvane::isFeedbackConfirmed(reply)) {
        m_alert(toAlert(velvane::feedbackSentNotice()));
        closeFeedback();
    } else {
        m_alert(toAlert(velvane::feedbackFailedNotice()));
    }
}

std::optional<QString> WebActions::fetchWhileBusy(const QUrl &url, int timeoutMs,
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

void WebActions::checkForUpdate()
{
    const velvane::WebConfig config = velvane::webConfig();
    const std::optional<QUrl> url = velvane::versionFileUrl(config.baseAddress);
    QAbstractButton *button = m_updateButton;
    QAction *action = m_updateAction;
    const QString idleText = button->text();
    // The wait is modal for the main window, which still repaints, and its Cancel ends the request at once.
    QProgressDialog waiting(QStringLiteral("Checking for updates…"), QStringLiteral("Cancel"), 0, 0, m_mainWindow);
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

    const int pressed = m_alert({update.notice.title, update.notice.message, update.notice.buttons});
    if (update.offersDownload && pressed == 0) {
        if (const auto page = velvane::downloadPageUrl(config.baseAddress))
            openInBrowser(*page);
    }
}

// Without a browser the address would be lost; the alert shows it, selectable, so it can be copied.
void WebActions::openInBrowser(const QUrl &page)
{
    if (m_browser(page))
        return;
    m_alert({QStringLiteral("Velvane"),
             QStringLiteral("No web browser could be opened. The page's address, to copy:\n%1")
                 .arg(page.toString(QUrl::FullyEncoded)),
             {QStringLiteral("Ok")}});
}

void WebActions::donate(velvane::Currency currency)
{
    const velvane::WebConfig config = velvane::webConfig();
    if (const auto page = velvane::donationUrl(config.paymentHost, config.payee, currency))
        openInBrowser(*page);
}

void WebActions::openHomePage()
{
    openInBrowser(QUrl(velvane::webConfig().homePage));
}
