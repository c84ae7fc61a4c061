#pragma once

#include <QString>

namespace velvane {

// The application's read-only data: $VELVANE_RESOURCES when set (tests, running from the build tree),
// else ../share/velvane next to the executable, which holds for the build tree and for an install alike.
[[nodiscard]] QString resourceFolder();
[[nodiscard]] QString resourceFolderFrom(const QString &override, const QString &applicationDir);

} // namespace velvane
