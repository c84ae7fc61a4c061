#pragma once

#include "core/cue/cuereading.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace velvane {

// The sheet a FLAC image carries, as lines of a cue sheet whose FILE lines name the image itself: its CUESHEET
// Vorbis comment (which has the titles) or else its CUESHEET metadata block (track offsets only). None when it
// carries neither.
struct EmbeddedSheet
{
    QStringList lines;
    QString origin; // where in the file it was found, in the user's words
};
[[nodiscard]] std::optional<EmbeddedSheet> embeddedSheet(const QString &flacPath);

// The .cue file beside an album image that describes it ("album.cue" or "album.flac.cue"); empty when none is there.
[[nodiscard]] QString sheetBesideImage(const QString &imagePath);

// What a path opened as a cue sheet gives. A FLAC file is read through the sheet beside it when there is one, else
// through the sheet inside it; sheetNote then says which was read. Anything else is read as a cue sheet.
[[nodiscard]] CueReading readSheetAt(const QString &path, const TextEncoding *encoding = nullptr);

} // namespace velvane
