#include "import_cue/import_cue.h"

#include "core/web/feedback.h"
#include "core/web/fetch.h"
#include "core/web/version.h"
#include "core/web/webconfig.h"

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
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

void import_cue::connectFeedbackActions()
{
    auto *send = feedbackFenster->findChild<QPushButton *>(QStringLiteral("sendButton"));
    auto *cancel = feedbackFenster->findChild<QPushButton *>(QStringLiteral("cancelButton"));
    m_sendingNote = feedbackFenster->findChild<QLabel *>(QStringLiteral("sendingNote"));
    if (!send || !cancel || !m_sendingNote)
        qFatal("feedback form lacks its send or cancel button or its sending note");
    connect(send, &QPushButton::clicked, this, &import_cue::sendFeedback);
    // While a message is on its way, Cancel ends the request and keeps the form, so it can be sent again; Escape and
    // the close box end the request along with the form.
    connect(cancel, &QPushButton::clicked, this, [this] {
        if (m_sending)
            m_sending->cancel();
        else
            closeFeedback();
    });
    connect(feedbackFenster, &QDialog::finished, this, [this] {
        if (m_sending)
            m_sending->cancel();
    });
    connect(feedbackMessage, &QPlainTextEdit::textChanged, this, &import_cue::textDidChange);
}

void import_cue::openFeedback()
{
    feedbackInfos->setText(velvane::informationBlock(QSysInfo::prettyProductName(), velvane::_version));
    feedbackFenster->open();
}

void import_cue::closeFeedback()
{
    feedbackFenster->done(QDialog::Rejected);
    feedbackFenster->close();
}

void import_cue::textDidChange()
{
    const QString message = typedMessage(*feedbackMessage);
    const qsizetype kept = velvane::feedbackKeptLength(message);
    if (kept < message.size()) {
        // Cut through a cursor rather than replacing the text, so the undo history and the caret survive the cut.
        // The cut changes the text again and so re-enters here, now within the limit.
        QTextCursor cursor(feedbackMessage->document());
        cursor.setPosition(int(kept));
        cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
        cursor.removeSelectedText();
        return;
    }
    charLeft->setText(QString::number(velvane::kFeedbackLimit - message.size()));
}

void import_cue::sendFeedback()
{
    const QString mail = mailaddy->text();
    if (mail.isEmpty()) {
        m_services.alert(toAlert(velvane::missingAddressNotice()));
        return;
    }

    const velvane::WebConfig config = velvane::webConfig();
    const std::optional<QUrl> url =
        velvane::feedbackUrl(config.baseAddress, mail, typedMessage(*feedbackMessage), feedbackInfos->text());
    auto *send = feedbackFenster->findChild<QPushButton *>(QStringLiteral("sendButton"));
    // The form is modal for the main window; while it waits, only its Cancel takes input.
    const auto showSending = [this, send](bool waiting) {
        m_sendingNote->setVisible(waiting);
        send->setEnabled(!waiting);
        mailaddy->setReadOnly(waiting);
        feedbackMessage->setReadOnly(waiting);
    };
    velvane::FetchCancel cancel;
    m_sending = &cancel;
    const std::optional<QString> reply =
        url ? fetchWhileBusy(*url, config.fetchTimeoutMs, showSending, cancel) : std::nullopt;
    m_sending = nullptr;
    if (cancel.isCancelled())
        return;
    if (velvane::isFeedbackConfirmed(reply)) {
        m_services.alert(toAlert(velvane::feedbackSentNotice()));
        closeFeedback();
    } else {
        m_services.alert(toAlert(velvane::feedbackFailedNotice()));
    }
}
