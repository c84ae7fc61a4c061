#pragma once

#include "core/lossless/flacmetadata.h"

#include <QByteArrayView>

#include <vector>

namespace velvane {

// One frame of an album, or a stretch that holds no frame a decoder could take (damaged).
struct FlacFrame
{
    qsizetype offset = 0; // in the file
    qsizetype size = 0;   // bytes, CRC-16 included
    qint64 firstSample = 0;
    int blockSize = 0;
    int headerLength = 0;
    bool damaged = false; // its samples are lost: a broken header, or bytes between two frames that are not a frame
};

struct FlacFrames
{
    std::vector<FlacFrame> frames;
    bool variableBlockSize = false;
    qint64 totalSamples = 0; // by the frames
};

// Every frame of the audio that starts at layout.audioOffset, found by its header (sync code, codes matching the
// STREAMINFO, CRC-8 and the number that must follow its predecessor), not by decoding. The CRC-16 of the frames is
// not checked here.
[[nodiscard]] FlacFrames scanFlacFrames(QByteArrayView file, const FlacLayout &layout);

} // namespace velvane
