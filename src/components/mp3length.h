#pragma once

#include <QString>

#include <optional>

namespace velvane {

struct Mp3Length
{
    qint64 milliseconds = 0; // whole frames, so a little past the last sample heard
    int sampleRate = 0;
};

// Nothing when TagLib does not take the file for MPEG audio.
[[nodiscard]] std::optional<Mp3Length> mp3Length(const QString &path);

} // namespace velvane
