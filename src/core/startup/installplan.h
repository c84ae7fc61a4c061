#pragma once

#include "core/startup/privileges.h"

namespace velvane {

// Makes /usr and /usr/local, then merges the prepared folder into /usr/local. The folder must be called local,
// since cp -R into /usr/ keeps its name.
[[nodiscard]] QList<PrivilegedCommand> installCommands(const QString &localFolder);

} // namespace velvane
