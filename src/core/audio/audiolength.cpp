#include "core/audio/audiolength.h"

#include "core/audio/mpegstream.h"
#include "core/audio/oggstream.h"

#include <QFile>

namespace velvane {

std::optional<AudioLength> measureAudio(const QString &path, bool isOgg)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() == 0)
        return std::nullopt;
    QByteArray read;
    const uchar *mapped = file.map(0, file.size());
    if (!mapped)
        read = file.readAll();
    const QByteArrayView data = mapped ? QByteArrayView(mapped, file.size()) : QByteArrayView(read);

    if (isOgg) {
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
