#pragma once

#include "core/cue/trackentry.h"

#include <QString>

namespace velvane {

// Makes a cue sheet text fit to stand in a file name: path separators and colons become ".", runs of blanks and
// tabs are halved (an existing "*" counts as one of them), everything else passes unchanged.
[[nodiscard]] QString cleanedFilename(const QString &text);

// The parts of a piece's file name, kept apart so that a name too long for its folder is shortened where it
// hurts least: the title first, then the performer; the number and the extension always stay.
struct OutputName
{
    QString prefix; // "07 " or "007 " when numbered, else empty
    QString performer;
    QString title;
    QString extension;

    // "prefix performer - title.ext" ("prefix title.ext" without a performer), with " (attempt)" before the
    // extension from the second attempt on, within maxBytes of UTF-8 (the folder's limit on one name).
    [[nodiscard]] QString fileName(int attempt = 1, int maxBytes = 255) const;
};

// The track number as names carry it: zero-filled to the digits of trackCount, at least two ("07" of 12, "007" of
// 120), so that a plain sort of the names keeps the tracks in order.
[[nodiscard]] QString trackNumberText(int number, int trackCount);

// The name of track number's piece: the cleaned performer and title, control characters replaced, with the track
// number (trackNumberText) and a blank in front when numbered. A missing title or performer counts as empty.
[[nodiscard]] OutputName outputNameParts(int number, const TrackEntry &entry, const QString &extension, bool numbered,
                                         int trackCount);

// outputNameParts(...).fileName() without a length limit, as the status sheet shows it.
[[nodiscard]] QString outputName(int number, const TrackEntry &entry, const QString &extension, bool numbered,
                                 int trackCount);

} // namespace velvane
