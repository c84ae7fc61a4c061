#pragma once

#include "core/platform/privileges.h"

namespace velvane {

// Makes /usr and /usr/local, then merges the prepared folder into /usr/local. The folder must be called local,
// since cp -R into /usr/ keeps its name.
[[nodiscard]] QList<PrivilegedCommand> installCommands(const QString &localFolder);

// What a user can run as root instead, when the install could not get administrator rights: the splitter's link
// made directly when the prepared folder holds one, else the same copy.
[[nodiscard]] QString manualInstallCommand(const QString &localFolder);

// The same when the prepared folder cannot serve: Debian's splitter installed, and linked where Velvane runs it
// (to what the folder's own link names, when it has one).
[[nodiscard]] QString splitterFromPackageCommand(const QString &localFolder);

} // namespace velvane
