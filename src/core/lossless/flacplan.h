#pragma once

#include "core/lossless/flacstream.h"

#include <vector>

namespace velvane {

// One step in writing a piece: an album frame copied (frame >= 0), or the samples [from, to) encoded anew into
// frames of blockSize samples, the last of them holding what is left.
struct FlacPieceStep
{
    int frame = -1;
    qint64 from = 0;
    qint64 to = 0;
    int blockSize = 0;
};

// No frame but the last may be shorter than this.
inline constexpr int flacMinBlockSize = 16;
// The longest frame a streamable stream holds at up to 48 kHz, and what ffmpeg's encoder uses.
inline constexpr int flacSubsetBlockSize = 4608;

struct FlacPiecePlan
{
    std::vector<FlacPieceStep> steps;
    bool fixedBlockSize = false; // its frames all carry frame numbers, as the album's do
    int firstFrame = 0;          // the album frames the piece's samples come from
    int endFrame = 0;
};

// How the piece of samples [start, end) is made from the album's frames: each frame wholly inside it copied, the
// frames across its ends re-encoded in part, and a head shorter than the shortest frame encoded with the next.
[[nodiscard]] FlacPiecePlan planFlacPiece(const FlacFrames &album, int maxBlockSize, qint64 start, qint64 end);

} // namespace velvane
