#pragma once

#include <QFile>
#include <QString>

namespace velvane {

// Copies length bytes of from, starting at offset, to the end of to, in the kernel where the system can (no trip
// through user memory, and a shared extent on file systems that have them). Both files are open; to is written
// at its current position, which moves past the bytes. Empty when all were copied; otherwise the system's words.
[[nodiscard]] QString copyFileBytes(QFile &from, qint64 offset, QFile &to, qint64 length);
// The same through a buffer in memory: where the system has no copy of its own, or refuses it for these files.
[[nodiscard]] QString copyFileBytesThroughMemory(QFile &from, qint64 offset, QFile &to, qint64 length);

// Writes all of bytes; empty when they were written, else the system's words. A write that stops short (the disk
// full) is not an error until the next one, so the rest is tried until the system says why it will not go.
[[nodiscard]] inline QString writeAll(QFile &to, QByteArrayView bytes)
{
    while (!bytes.isEmpty()) {
        const qint64 written = to.write(bytes.data(), bytes.size());
        if (written <= 0)
            return to.errorString();
        bytes = bytes.sliced(written);
    }
    return {};
}

} // namespace velvane
