#pragma once

#include "core/encoding/encodingcatalog.h"
#include "core/encoding/plausibility.h"

#include <QByteArrayView>
#include <QList>
#include <QString>

namespace velvane {

// One way to read the bytes, with the evidence for and against it.
struct Reading
{
    QList<const TextEncoding *> encodings; // all give this very text; catalogue order
    QString text;
    Implausibility doubt;
    double support = 0;
    const TextEncoding *named = nullptr; // the one the detectors back most, if they name any

    [[nodiscard]] double total() const { return support - doubt.score; }
    [[nodiscard]] const TextEncoding *encoding() const { return named ? named : encodings.constFirst(); }
};

// Every reading worth weighing: each encoding tried on every sheet and each one a detector names, readings
// that give the very same text merged; most likely first.
[[nodiscard]] QList<Reading> readingsOf(QByteArrayView bytes);

} // namespace velvane
