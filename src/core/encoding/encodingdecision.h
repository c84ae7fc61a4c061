#pragma once

#include "core/encoding/encodingcatalog.h"

#include <QByteArrayView>
#include <QList>
#include <QString>

namespace velvane {

struct LegacyReading
{
    const TextEncoding *encoding = nullptr;
    QString text;
    // The chosen encoding, then the next most plausible ones.
    QList<const TextEncoding *> candidates;
};

// Reads bytes that are not UTF-8 with the legacy encoding that all the evidence favours: which encodings
// convert them without error, what uchardet and ICU say, and how plausible each reading looks. Windows-1252
// when no reading is plausible.
[[nodiscard]] LegacyReading readLegacyText(QByteArrayView bytes);

} // namespace velvane
