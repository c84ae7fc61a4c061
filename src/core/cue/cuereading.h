#pragma once

#include "core/cue/trackentry.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace velvane {

struct AudioFile
{
    QString path;
    bool isOgg = false;
};

// Everything one read of a cue sheet yields. The caller applies it to its fields.
struct CueReading
{
    QString cuePath;     // the path as given
    QString destination; // the sheet's folder: the default destination
    QString album;       // the last component of destination
    std::optional<AudioFile> audio;
    TrackList tracks;
};

// The sheet's non-blank lines, each without leading white space; empty when unreadable.
[[nodiscard]] QStringList linesInFileAtPath(const QString &path);
// Decodes a cue sheet's bytes: UTF-16 by BOM, UTF-8 (BOM dropped), else the detected legacy encoding.
[[nodiscard]] QString decodeCueSheet(const QByteArray &bytes);
[[nodiscard]] QStringList linesInText(const QString &text);
// Trims spaces, tabs and double quotes at both ends.
[[nodiscard]] QString cleanedString(const QString &value);
// The audio file named by the first usable FILE line, joined to the folder of cuePath.
[[nodiscard]] std::optional<AudioFile> searchAudioInLines(const QStringList &lines, const QString &cuePath);
[[nodiscard]] TrackList parseTrackLines(const QStringList &lines);
[[nodiscard]] CueReading readCueSheet(const QString &cuePath);

} // namespace velvane
