#pragma once

#include "core/cue/sheetalbum.h"
#include "core/cue/sheetalbumreading.h"
#include "core/cue/trackentry.h"

#include <QString>

#include <optional>

namespace velvane {

// What music libraries group an album's tracks by, as the job derives it from the sheet.
struct AlbumGrouping
{
    QString albumArtist; // the header's PERFORMER
    bool compilation = false;
    int disc = 0; // 0: none
    int totalDiscs = 0;
};

// A performer that stands for many: "Various Artists", "Various", "VA", in any case.
[[nodiscard]] bool isVariousArtists(const QString &performer);

// "CD2", "CD 2", "Disc 2", "disc 2 of 3", "Disk2/3" anywhere in a folder's name; none when it names no disc.
[[nodiscard]] DiscCount discFromFolderName(const QString &folderName);

// A sheet whose tracks have different performers is a compilation unless it names an album artist of its own that
// stands for no "Various Artists"; the disc is the sheet's, else the one the album's folder names.
[[nodiscard]] AlbumGrouping albumGrouping(const SheetAlbum &sheet, const TrackList &tracks,
                                          const QString &albumFolderName);

// The year of a REM DATE ("1978", "1978-05-12", "1978/05"); none when it does not start with one.
[[nodiscard]] std::optional<int> yearFromSheetDate(const QString &date);

} // namespace velvane
