#pragma once

#include <QString>

namespace velvane {

// Moves from to to, on one file system, and never replaces anything that stands at to: not a file, a folder or
// a dangling link. 0 on success, otherwise an errno value; EEXIST means the name is taken.
[[nodiscard]] int moveWithoutReplacing(const QString &from, const QString &to);

// The longest file name, in bytes, that folder takes; 255 when the file system does not say.
[[nodiscard]] int fileNameLimit(const QString &folder);

// The system's words for an errno value.
[[nodiscard]] QString errorText(int error);

} // namespace velvane
