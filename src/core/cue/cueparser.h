#pragma once

#include "core/cue/trackentry.h"

#include <QString>
#include <QStringList>

namespace velvane {

// One entry per track; a track under a FILE line gets "file", that file joined to the folder of cuePath.
[[nodiscard]] TrackList parseTrackLines(const QStringList &lines, const QString &cuePath);

} // namespace velvane
