#pragma once

#include "dialogs/alert.h"
#include "dialogs/browser.h"

#include <QObject>

#include <functional>
#include <memory>
#include <optional>

class QAbstractButton;
class QAction;
class QDialog;
class QUrl;
class QWidget;

namespace Ui {
class feedbackFenster;
} // namespace Ui

namespace velvane {
class FetchCancel;
enum class Currency;
} // namespace velvane

// What the window does with the program's web server and pages: the feedback form, the update check and the
// links to the home page and the donation pages.
class WebActions : public QObject
{
    Q_OBJECT
public:
    // Builds the feedback form on feedbackSheet. The update button and menu item say when a check is under way,
    // and the check's wait sits on mainWindow.
    WebActions(QDialog *feedbackSheet, QWidget *mainWindow, QAbstractButton *updateButton, QAction *updateAction,
               AlertFunction alert, BrowserFunction browser);
    ~WebActions() override;

    [[nodiscard]] const Ui::feedbackFenster &form() const { return *m_form; }

    void openFeedback();
    void closeFeedback();
    void sendFeedback();
    // Holds the message to its limit and shows what is left.
    void feedbackTextChanged();

    void checkForUpdate();
    void donate(velvane::Currency currency);
    void openHomePage();

private:
    // A blocking fetch with a busy cursor; the event loop runs on, so the window repaints and cancel can be pressed.
    // showWaiting(true) before the wait and showWaiting(false) after it let the window say what it waits for and
    // keep the wait modal.
    [[nodiscard]] std::optional<QString> fetchWhileBusy(const QUrl &url, int timeoutMs,
                                                        const std::function<void(bool)> &showWaiting,
                                                        velvane::FetchCancel &cancel) const;
    void openInBrowser(const QUrl &page);

    std::unique_ptr<Ui::feedbackFenster> m_form;
    QDialog *m_sheet;
    QWidget *m_mainWindow;
    QAbstractButton *m_updateButton;
    QAction *m_updateAction;
    AlertFunction m_alert;
    BrowserFunction m_browser;
    velvane::FetchCancel *m_sending = nullptr; // the feedback request on its way, if one is
};
