#pragma once

#include <QByteArrayView>

#include <optional>

namespace velvane {

struct OggVorbisLength
{
    qint64 samples = 0;
    int sampleRate = 0;
    int longBlock = 0;
};

// Walks the pages (checking each page's CRC) and takes the length from the granule positions of each logical
// Vorbis stream, chained streams added up. Nothing when no Vorbis stream is found.
[[nodiscard]] std::optional<OggVorbisLength> measureOggVorbis(QByteArrayView data);

} // namespace velvane
