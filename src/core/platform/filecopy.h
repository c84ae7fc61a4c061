#pragma once

#include <QFile>
#include <QString>

namespace velvane {

// Copies length bytes of from, starting at offset, to the end of to, in the kernel where the system can (no trip
// through user memory, and a shared extent on file systems that have them). Both files are open; to is written
// at its current position, which moves past the bytes. Empty when all were copied; otherwise the system's words.
[[nodiscard]] QString copyFileBytes(QFile &from, qint64 offset, QFile &to, qint64 length);

} // namespace velvane
