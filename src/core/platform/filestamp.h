#pragma once

#include <QString>

#include <optional>

namespace velvane {

// Tells the file that was examined from one put in its place, or changed, since. Where the system names no file
// identity (device 0 and inode 0), size and modification time alone tell, so a file of the same size written in
// the same millisecond passes for the examined one.
struct FileStamp
{
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = 0;
    qint64 modifiedNs = 0;
    friend bool operator==(const FileStamp &, const FileStamp &) = default;
};

// Nothing unless path names a regular file; a symbolic link is not followed.
[[nodiscard]] std::optional<FileStamp> stampOf(const QString &path);

} // namespace velvane
