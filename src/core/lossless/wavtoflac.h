#pragma once

#include "core/lossless/wavimage.h"

#include <QFile>
#include <QString>

#include <functional>

namespace velvane {

struct WavEncoding
{
    bool stopped = false;
    QString problem; // empty when the piece was written whole
};

// Encodes frames samples of image's audio, starting at sample first, from album into out (open, empty) as FLAC at
// level 5 with its MD5, keeping tagRoom bytes of padding for the tags.
[[nodiscard]] WavEncoding encodeWavAsFlac(QFile &album, const WavImage &image, qint64 first, qint64 frames, QFile &out,
                                          int tagRoom, const std::function<bool()> &stopRequested);

} // namespace velvane
