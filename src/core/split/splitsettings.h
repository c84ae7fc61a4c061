#pragma once

#include "core/audio/audioformat.h"
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
    AudioFormat format = AudioFormat::Mp3; // of audioFile
    bool numbered = false;                 // "numberFiles"
    bool writeTags = false;                // "setID3": ID3 tags for MP3 pieces, Vorbis comments for Ogg and FLAC pieces
    bool wavAsFlac = false;                // a WAV album's pieces are saved as FLAC
    int year = 0;
    QString album;
    std::optional<QString> genre; // none: no genre is written
    // Cut each track from the audio file of its own "file" key rather than from audioFile: a sheet that names
    // several files, when nobody chose one file for all of it.
    bool filePerTrack = false;
    // A splitter whose pieces stop growing for this long is taken for hung and stopped.
    std::chrono::milliseconds stallTimeout{60000};
};

} // namespace velvane
