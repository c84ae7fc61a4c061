#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class QWidget;

// A modal alert: a title, a message and one or more buttons, the first being the default.
struct Alert
{
    QString title;
    QString message;
    QStringList buttons;
    QString details = {}; // shown below the message, smaller; e.g. the path a fixed message is about
};

// Shows an alert and returns the index of the button pressed (0 for the default button).
// Controllers take one of these, so tests can record alerts and answer them.
using AlertFunction = std::function<int(const Alert &)>;

// The real thing: an application-modal QMessageBox over parent.
[[nodiscard]] AlertFunction messageBoxAlert(QWidget *parent = nullptr);
