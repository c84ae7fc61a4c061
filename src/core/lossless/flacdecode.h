#pragma once

#include "core/lossless/flacmetadata.h"
#include "core/lossless/flacstream.h"

#include <QByteArrayView>

#include <memory>

namespace velvane {

// Decodes an album's frames one at a time, in any order, into samples laid out as FLAC's MD5 takes them:
// interleaved, little-endian, in whole bytes. Frames are handed over by their bytes, so two decoders can work on
// one album at once.
class FlacFrameDecoder
{
public:
    explicit FlacFrameDecoder(const FlacStreamInfo &info);
    ~FlacFrameDecoder();
    FlacFrameDecoder(const FlacFrameDecoder &) = delete;
    FlacFrameDecoder &operator=(const FlacFrameDecoder &) = delete;

    // The frame's samples into out (blockSize * channels * bytesPerSample bytes); false when it fails its CRC or
    // cannot be decoded, and then out holds nothing to use.
    [[nodiscard]] bool decode(QByteArrayView frame, int blockSize, char *out);

    // The same for a frame that must give back the samples at expected.
    [[nodiscard]] bool decodesTo(QByteArrayView frame, int blockSize, const char *expected);

private:
    struct State;
    std::unique_ptr<State> m_state;
};

} // namespace velvane
