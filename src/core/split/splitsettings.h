#pragma once

#include "core/cover/coverimage.h"
#include "core/cue/sheetalbum.h"
#include "core/cue/trackentry.h"

#include <QString>

#include <chrono>
#include <optional>

namespace velvane {

// Everything a job needs, read once when it starts, so the job never touches a widget.
struct SplitSettings
{
    TrackList tracks;
    QString destination;
    QString audioFile;
    bool isOgg = false;
    bool numbered = false;  // "numberFiles"
    bool writeTags = false; // "setID3": ID3 tags for MP3 pieces, Vorbis comments for Ogg pieces
    int year = 0;
    QString album;
    std::optional<QString> genre; // none: no genre is written
    // What the sheet says of the album beyond the fields above: album artist, catalog, comment, discs, ReplayGain.
    SheetAlbum sheet;
    std::optional<CoverImage> cover; // carried into every track as its front cover
    // Cut each track from the audio file of its own "file" key rather than from audioFile: a sheet that names
    // several files, when nobody chose one file for all of it.
    bool filePerTrack = false;
    // A splitter whose pieces stop growing for this long is taken for hung and stopped.
    std::chrono::milliseconds stallTimeout{60000};
};

} // namespace velvane
