#pragma once

#include "core/cue/sheetalbum.h"

#include <QStringList>

namespace velvane {

// What the lines before the first TRACK say about the album.
[[nodiscard]] SheetAlbum sheetAlbumFromLines(const QStringList &lines);

// A disc count or number as sheets write it, "2" or "2/3"; 0 for anything else, a number out of range included.
struct DiscCount
{
    int number = 0;
    int total = 0;
};
[[nodiscard]] DiscCount discCountFrom(const QString &value);

} // namespace velvane
