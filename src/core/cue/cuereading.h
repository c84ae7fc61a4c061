#pragma once

#include "core/cue/trackentry.h"
#include "core/encoding/encodingcatalog.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace velvane {

struct AudioFile
{
    QString path;
    bool isOgg = false;
};

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
// Sheets run to kilobytes; what is larger, or is no regular file, is refused unread.
inline constexpr qint64 cueSheetSizeLimit = 16 << 20;
[[nodiscard]] CueFileBytes readCueFileBytes(const QString &path);
// Decodes a cue sheet's bytes: UTF-16 by BOM, UTF-8 (BOM dropped), else the detected legacy encoding.
[[nodiscard]] QString decodeCueSheet(const QByteArray &bytes);
[[nodiscard]] QStringList linesInText(const QString &text);
// Trims spaces, tabs and double quotes at both ends.
[[nodiscard]] QString cleanedString(const QString &value);
enum class FileLookup
{
    AsWritten,  // the name joined to the sheet's folder, on the text alone
    BesideSheet // as written when something is there, else the MP3 or Ogg file of its last component in the folder
};
// The MP3 or Ogg file a FILE line names, joined to folder; none when it names neither.
[[nodiscard]] std::optional<AudioFile> audioOnFileLine(const QString &line, const QString &folder,
                                                       FileLookup lookup = FileLookup::BesideSheet);
// The file a FILE line names, of any type, joined to folder; empty when the line names none.
[[nodiscard]] QString fileOnFileLine(const QString &line, const QString &folder,
                                     FileLookup lookup = FileLookup::BesideSheet);
// The audio file named by the first usable FILE line, joined to the folder of cuePath.
[[nodiscard]] std::optional<AudioFile> searchAudioInLines(const QStringList &lines, const QString &cuePath);
// One entry per track; a track under a FILE line gets "file", that file joined to the folder of cuePath.
[[nodiscard]] TrackList parseTrackLines(const QStringList &lines, const QString &cuePath);
// The reading of lines already taken from the sheet at cuePath; nothing is read from disk, only looked for.
[[nodiscard]] CueReading cueReadingFromLines(const QString &cuePath, const QStringList &lines);
// Detects the encoding unless one is given.
[[nodiscard]] CueReading readCueSheet(const QString &cuePath, const TextEncoding *encoding = nullptr);

} // namespace velvane
