#pragma once

#include "core/cover/coverimage.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace velvane {

// The cover an album comes with, and what stood in the way of a better one.
struct CoverSearch
{
    std::optional<CoverImage> image;
    QString source;  // the image file, or the album file whose own picture it is; empty when there is none
    QString refusal; // a cover that was found but not taken, and why, in one sentence; kept when another was taken
};

// The image files beside the album file that may be its cover, most likely first: cover, folder, front, album and
// the album file's own base name, as .jpg, .jpeg or .png, in any case, in its folder and then in a Scans or
// Artwork folder within it. Only names are looked at; every entry of that name is listed, file or not.
[[nodiscard]] QStringList coverFilesBeside(const QString &albumFile);

// The first of coverFilesBeside() that is a whole JPEG or PNG image, else the album file's own embedded picture.
[[nodiscard]] CoverSearch findAlbumCover(const QString &albumFile);

} // namespace velvane
