#pragma once

#include "core/audio/audioformat.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace velvane {

struct AudioFile
{
    QString path;
    AudioFormat format = AudioFormat::Mp3;
};

enum class FileLookup
{
    AsWritten,  // the name joined to the sheet's folder, on the text alone
    BesideSheet // as written when something is there, else the audio file of its last component in the folder
};
// The MP3, Ogg, FLAC or WAV file a FILE line names, joined to folder; none when it names none of them.
[[nodiscard]] std::optional<AudioFile> audioOnFileLine(const QString &line, const QString &folder,
                                                       FileLookup lookup = FileLookup::BesideSheet);
// The file a FILE line names, of any type, joined to folder; empty when the line names none.
[[nodiscard]] QString fileOnFileLine(const QString &line, const QString &folder,
                                     FileLookup lookup = FileLookup::BesideSheet);
// The audio file named by the first usable FILE line, joined to the folder of cuePath.
[[nodiscard]] std::optional<AudioFile> searchAudioInLines(const QStringList &lines, const QString &cuePath);

} // namespace velvane
