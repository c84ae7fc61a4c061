#include "core/audio/audiolength.h"

#include "core/audio/filebytes.h"
#include "core/audio/mpegstream.h"
#include "core/audio/oggstream.h"

namespace velvane {

std::optional<AudioLength> measureAudio(const QString &path, AudioFormat format)
{
    const FileBytes file(path);
    if (file.isEmpty())
        return std::nullopt;
    const QByteArrayView data = file.data();

    if (format == AudioFormat::Flac || format == AudioFormat::Wav)
        return std::nullopt;
    if (format == AudioFormat::Ogg) {
        const auto ogg = measureOggVorbis(data);
        if (!ogg)
            return std::nullopt;
        return AudioLength{ogg->samples, ogg->sampleRate, ogg->longBlock};
    }
    const auto mpeg = scanMpegStream(data);
    if (!mpeg)
        return std::nullopt;
    return AudioLength{mpeg->playedSamples(), mpeg->sampleRate, mpeg->frameSamples};
}

} // namespace velvane
