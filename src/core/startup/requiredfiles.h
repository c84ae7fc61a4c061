#pragma once

#include <QString>
#include <QStringList>

namespace velvane {

// The splitter and, on macOS, the decoder libraries it loads, in the order they are tested.
[[nodiscard]] QStringList macRequiredFiles();
[[nodiscard]] QStringList linuxRequiredFiles();
[[nodiscard]] QStringList requiredFiles(); // this platform's list

struct ToolCheck
{
    bool present = false;
    QString missing; // the first path found missing, as listed
    int tested = 0;  // how many paths were looked at before the answer was known
};

// Tests the absolute paths below root ("/" for the real system) and stops at the first one missing.
// A folder counts as present; a symbolic link counts by its target, so a dangling one is missing.
[[nodiscard]] ToolCheck checkRequiredFiles(const QStringList &paths, const QString &root = QStringLiteral("/"));

// Whether an install source folder (the tree copied as /usr/local) holds every required file under /usr/local.
// Paths outside /usr/local cannot come from it and are reported missing.
[[nodiscard]] ToolCheck checkInstallSource(const QStringList &paths, const QString &localFolder);

} // namespace velvane
