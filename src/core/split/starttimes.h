#pragma once

#include <QString>

#include <optional>

namespace velvane {

// A cue sheet time minutes:seconds:frames (seconds 0-59, frames 0-74) as a count of 1/75 s; nothing otherwise.
[[nodiscard]] std::optional<qint64> cueTimeInFrames(const QString &text);

} // namespace velvane
