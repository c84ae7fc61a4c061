#include "dialogs/alert.h"

#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>

using namespace Qt::StringLiterals;

namespace {

// Errors and refusals carry a warning sign; reports such as "Message was sent" an information sign.
QMessageBox::Icon iconFor(const Alert &alert)
{
    const bool problem = alert.title.startsWith(QLatin1String("ERROR")) ||
                         alert.title.startsWith(QLatin1String("attention"), Qt::CaseInsensitive);
    return problem ? QMessageBox::Warning : QMessageBox::Information;
}

int showMessageBox(QWidget *parent, const Alert &alert)
{
    QMessageBox box(parent);
    box.setIcon(iconFor(alert));
#ifdef Q_OS_MACOS
    // macOS shows no window title on a message box.
    box.setText(alert.title);
    box.setInformativeText(alert.details.isEmpty() ? alert.message : alert.message + u"\n\n"_s + alert.details);
#else
    box.setWindowTitle(alert.title);
    box.setText(alert.message);
    box.setInformativeText(alert.details);
#endif
    // Messages quote the user's sheets and paths; markup in them must show as typed, never render or load.
    box.setTextFormat(Qt::PlainText);
    // Paths and addresses in a message are often wanted elsewhere: they can be selected and copied.
    box.setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    for (QLabel *label : box.findChildren<QLabel *>())
        label->setTextFormat(Qt::PlainText);
    QList<QPushButton *> buttons;
    for (const QString &text : alert.buttons)
        buttons.append(box.addButton(text, buttons.isEmpty() ? QMessageBox::AcceptRole : QMessageBox::RejectRole));
    if (!buttons.isEmpty()) {
        box.setDefaultButton(buttons.first());
        box.setEscapeButton(buttons.last());
    }
    box.exec();
    const int pressed = int(buttons.indexOf(qobject_cast<QPushButton *>(box.clickedButton())));
    return pressed < 0 ? int(buttons.size()) - 1 : pressed;
}

} // namespace

AlertFunction messageBoxAlert(QWidget *parent)
{
    QPointer<QWidget> guardedParent(parent);
    return [guardedParent](const Alert &alert) {
        return showMessageBox(guardedParent, alert);
    };
}
