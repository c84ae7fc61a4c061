#pragma once

#include "core/cue/trackentry.h"

#include <QByteArray>
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

// A sheet's raw bytes, or why they could not be read.
struct CueFileBytes
{
    QByteArray bytes;
    QString error; // empty when the read worked

    [[nodiscard]] bool ok() const { return error.isEmpty(); }
};

// The sheet's non-blank lines, each without leading white space; empty when unreadable.
[[nodiscard]] QStringList linesInFileAtPath(const QString &path);
[[nodiscard]] CueFileBytes readCueFileBytes(const QString &path);
// Decodes a cue sheet's bytes: UTF-16 by BOM, UTF-8 (BOM dropped), else the detected legacy encoding.
[[nodiscard]] QString decodeCueSheet(const QByteArray &bytes);
[[nodiscard]] QStringList linesInText(const QString &text);
// Trims spaces, tabs and double quotes at both ends.
[[nodiscard]] QString cleanedString(const QString &value);
// The audio file named by the first usable FILE line, joined to the folder of cuePath.
[[nodiscard]] std::optional<AudioFile> searchAudioInLines(const QStringList &lines, const QString &cuePath);
[[nodiscard]] TrackList parseTrackLines(const QStringList &lines);
// The reading of lines already taken from the sheet at cuePath; nothing is read from disk.
[[nodiscard]] CueReading cueReadingFromLines(const QString &cuePath, const QStringList &lines);
[[nodiscard]] CueReading readCueSheet(const QString &cuePath);

} // namespace velvane
