#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>

namespace velvane::test {

// Every file under folder, hidden ones and those in subfolders included, by its path relative to folder, with
// the SHA-256 of its bytes: two snapshots compare equal only when nothing was added, removed or changed.
[[nodiscard]] QMap<QString, QByteArray> folderHashes(const QString &folder);

} // namespace velvane::test
