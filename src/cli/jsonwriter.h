#pragma once

#include <QByteArray>
#include <QString>

// Just enough JSON for the command line's fixed shapes, written by hand so the keys keep their order.
[[nodiscard]] QByteArray jsonString(const QString &text);
[[nodiscard]] QByteArray jsonBool(bool value);
