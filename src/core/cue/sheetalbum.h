#pragma once

#include <QString>

namespace velvane {

// What a cue sheet says about the whole album: the lines before its first TRACK. Empty or 0 where it says nothing.
struct SheetAlbum
{
    QString title;     // TITLE
    QString performer; // PERFORMER: the album artist
    QString songwriter;
    QString date;           // REM DATE
    QString genre;          // REM GENRE
    QString catalog;        // CATALOG: the barcode
    QString comment;        // REM COMMENT
    int discNumber = 0;     // REM DISCNUMBER
    int totalDiscs = 0;     // REM TOTALDISCS
    QString replayGainGain; // REM REPLAYGAIN_ALBUM_GAIN
    QString replayGainPeak; // REM REPLAYGAIN_ALBUM_PEAK
};

} // namespace velvane
