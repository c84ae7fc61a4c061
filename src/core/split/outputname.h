#pragma once

#include "core/cue/trackentry.h"

#include <QString>

namespace velvane {

// Makes a cue sheet text fit to stand in a file name: path separators and colons become ".", runs of blanks and
// tabs are halved (an existing "*" counts as one of them), everything else passes unchanged.
[[nodiscard]] QString cleanedFilename(const QString &text);

// "Performer - Title.ext" from the cleaned texts, with "07 " or "12 " in front when numbered. A missing title or
// performer counts as empty.
[[nodiscard]] QString outputName(int number, const TrackEntry &entry, const QString &extension, bool numbered);

} // namespace velvane
