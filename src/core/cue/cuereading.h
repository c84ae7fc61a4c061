#pragma once

#include "core/cue/audiolookup.h"
#include "core/cue/trackentry.h"
#include "core/encoding/encodingcatalog.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace velvane {

// A FILE line's audio file that is not where the line says, and the file of the same name beside the sheet that
// was taken instead.
struct FileFoundBeside
{
    QString written; // the name as the sheet writes it
    QString taken;   // the full path used
};

// Everything one read of a cue sheet yields. The caller applies it to its fields.
struct CueReading
{
    QString cuePath;                // the path as given
    QString destination;            // the sheet's folder: the default destination
    QString album;                  // the last component of destination
    std::optional<AudioFile> audio; // the first usable MP3 or Ogg FILE line
    TrackList tracks;
    QStringList audioFiles;         // the tracks' distinct "file" values, in sheet order
    QString encoding;               // what the sheet was read with; empty when it could not be read
    QString error;                  // why the sheet could not be read; empty when it was
    QStringList encodingCandidates; // the plausible legacy readings, most likely first
    QList<FileFoundBeside> filesFoundBeside;
    QString sheetNote; // for an album image opened as a sheet: which sheet was read
};

// The reading of lines already taken from the sheet at cuePath; nothing is read from disk, only looked for.
[[nodiscard]] CueReading cueReadingFromLines(const QString &cuePath, const QStringList &lines);
// Detects the encoding unless one is given.
[[nodiscard]] CueReading readCueSheet(const QString &cuePath, const TextEncoding *encoding = nullptr);

} // namespace velvane
