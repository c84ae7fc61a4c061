#pragma once

#include <QString>
#include <QStringList>

namespace velvane {

// An alert's texts, decided here and shown by the GUI; the first button is the default one.
struct Notice
{
    QString title;
    QString message;
    QStringList buttons;

    friend bool operator==(const Notice &, const Notice &) = default;
};

} // namespace velvane
