#pragma once

#include "core/lossless/flacmetadata.h"

#include <QByteArray>
#include <QList>

#include <optional>

namespace velvane {

// Encodes count samples, laid out as the decoder gives them (interleaved, little-endian, whole bytes), into frames
// of blockSize samples each but the last, which holds what is left. Nothing when libFLAC fails.
[[nodiscard]] std::optional<QList<QByteArray>> encodeFlacFrames(const FlacStreamInfo &info, const char *samples,
                                                                qint64 count, int blockSize);

} // namespace velvane
