#pragma once

#include "core/encoding/encodingcatalog.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace velvane {

struct DecodedCueText
{
    QString text;
    QString encoding;       // the name it was read with, as --encoding and the window's list take it
    QStringList candidates; // the plausible legacy readings, most likely first; empty for Unicode sheets
};

// UTF-16 by BOM, UTF-8 (BOM dropped), else the legacy encoding the evidence favours.
[[nodiscard]] DecodedCueText decodeCueText(const QByteArray &bytes);
// Exactly the encoding asked for; bytes it cannot convert become U+FFFD.
[[nodiscard]] DecodedCueText decodeCueTextAs(const QByteArray &bytes, const TextEncoding &encoding);

// Decodes a cue sheet's bytes: UTF-16 by BOM, UTF-8 (BOM dropped), else the detected legacy encoding.
[[nodiscard]] QString decodeCueSheet(const QByteArray &bytes);

} // namespace velvane
