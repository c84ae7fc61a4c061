#include "core/audio/audiolength.h"

#include "core/audio/filebytes.h"
#include "core/audio/mpegstream.h"
#include "core/audio/oggstream.h"
#include "core/lossless/flacstream.h"
#include "core/lossless/wavimage.h"

#include <QFile>

#include <variant>

namespace velvane {

std::optional<AudioLength> measureAudio(const QString &path, AudioFormat format)
{
    // Lossless images are cut to the sample, so one sample is their tolerance. A WAV file's length is in its
    // header, checked against the file's size, so the audio need not be read.
    if (format == AudioFormat::Wav) {
        QFile wav(path);
        if (!wav.open(QIODevice::ReadOnly))
            return std::nullopt;
        const auto image = readWavImage(wav);
        if (!std::holds_alternative<WavImage>(image))
            return std::nullopt;
        return AudioLength{std::get<WavImage>(image).frames(), std::get<WavImage>(image).sampleRate, 1};
    }
    const FileBytes file(path);
    if (file.isEmpty())
        return std::nullopt;
    const QByteArrayView data = file.data();

    if (format == AudioFormat::Flac) {
        const auto layout = readFlacLayout(data);
        if (!layout)
            return std::nullopt;
        return AudioLength{scanFlacFrames(data, *layout).totalSamples, layout->info.sampleRate, 1};
    }
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
