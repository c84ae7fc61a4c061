#pragma once

#include <QString>

namespace velvane {

// Slash-separated path pieces, worked out on the text alone, never against the file system.

// The path without its last component: "/a/b.cue" gives "/a", "/b.cue" gives "/", "b.cue" gives "".
[[nodiscard]] QString folderOfPath(const QString &path);
// "/a/b" gives "b", "/a/" gives "a", "/" gives "/".
[[nodiscard]] QString lastPathComponent(const QString &path);
// Exactly one "/" between the two, however many either side brings.
[[nodiscard]] QString joinedPath(const QString &folder, const QString &name);

} // namespace velvane
