#pragma once

#include <QString>

namespace velvane {

// Major times 1000 plus minor; the version file on the server uses the same scheme.
inline constexpr int _version = 2600;

// Quotient and remainder by 1000, neither zero-filled: 2600 is "2.600", 3000 is "3.0", 2050 is "2.50".
[[nodiscard]] QString versionNumber(int version);
// The same with a leading "v".
[[nodiscard]] QString versionText(int version);

} // namespace velvane
