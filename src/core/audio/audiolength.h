#pragma once

#include "core/audio/audioformat.h"

#include <QString>

#include <optional>

namespace velvane {

// An audio file's length as a gapless player plays it, measured from the stream, never from a header alone.
struct AudioLength
{
    qint64 samples = 0;
    int sampleRate = 0;
    int frameSamples = 0; // MPEG: 1152 or 576 per frame; Ogg Vorbis: the long block; the tolerance of a cut

    [[nodiscard]] qint64 samplesAt(qint64 hundredths) const { return (hundredths * sampleRate + 50) / 100; }
};

// Nothing when the file is not of the format asked, or cannot be read.
[[nodiscard]] std::optional<AudioLength> measureAudio(const QString &path, AudioFormat format);

} // namespace velvane
