#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>

// Files and folders as the tests make and compare them.
namespace velvane::test {

bool writeFile(const QString &path, const QByteArray &bytes);
// The file's bytes; empty when it cannot be read.
[[nodiscard]] QByteArray readFile(const QString &path);
// Every name in folder, hidden ones included, sorted.
[[nodiscard]] QStringList entriesOf(const QString &folder);
// Every file under folder, hidden ones and those in subfolders included, by its path relative to folder, with
// the SHA-256 of its bytes: two snapshots compare equal only when nothing was added, removed or changed.
[[nodiscard]] QMap<QString, QByteArray> folderHashes(const QString &folder);

} // namespace velvane::test
