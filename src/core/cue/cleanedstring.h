#pragma once

#include <QString>

namespace velvane {

// Trims spaces, tabs and double quotes at both ends.
[[nodiscard]] QString cleanedString(const QString &value);

} // namespace velvane
