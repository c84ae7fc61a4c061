#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace velvane {

// A sheet's raw bytes, or why they could not be read.
struct CueFileBytes
{
    QByteArray bytes;
    QString error; // empty when the read worked

    [[nodiscard]] bool ok() const { return error.isEmpty(); }
};

// Sheets run to kilobytes; what is larger, or is no regular file, is refused unread.
inline constexpr qint64 cueSheetSizeLimit = 16 << 20;
[[nodiscard]] CueFileBytes readCueFileBytes(const QString &path);
// The sheet's non-blank lines, each without leading white space.
[[nodiscard]] QStringList linesInText(const QString &text);

} // namespace velvane
