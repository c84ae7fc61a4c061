#pragma once

#include "core/encoding/encodingcatalog.h"

#include <QByteArrayView>
#include <QString>

#include <optional>

namespace velvane {

// The text, or none when a byte sequence is not valid in the encoding (or a byte maps to nothing there).
[[nodiscard]] std::optional<QString> decodedStrictly(QByteArrayView bytes, const TextEncoding &encoding);
// Never fails: each byte that cannot be converted becomes U+FFFD. A leading BOM of the encoding is dropped.
[[nodiscard]] QString decodedLeniently(QByteArrayView bytes, const TextEncoding &encoding);

} // namespace velvane
