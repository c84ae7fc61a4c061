#pragma once

#include <QString>

namespace velvane {

// The decimal integer a text begins with: leading white space skipped, an optional sign, then digits up to the
// first other character. 0 when the text does not begin that way; clamped to the 32-bit range.
[[nodiscard]] int intValue(const QString &text);

} // namespace velvane
