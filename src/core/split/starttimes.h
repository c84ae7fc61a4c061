#pragma once

#include "core/cue/trackentry.h"

#include <QString>

#include <optional>

namespace velvane {

// A cue sheet time minutes:seconds:frames (seconds 0-59, frames 0-74) as a count of 1/75 s; nothing otherwise.
[[nodiscard]] std::optional<qint64> cueTimeInFrames(const QString &text);

// The first track whose "index" is missing, malformed or not after the one before; a message naming it. With
// filePerTrack, each track is measured against the tracks before it that share its "file".
[[nodiscard]] std::optional<QString> checkStartTimes(const TrackList &tracks, bool filePerTrack = false);

} // namespace velvane
