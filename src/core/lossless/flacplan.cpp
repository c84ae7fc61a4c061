#include "core/lossless/flacplan.h"

#include <algorithm>

namespace velvane {

FlacPiecePlan planFlacPiece(const FlacFrames &album, int maxBlockSize, qint64 start, qint64 end)
{
    FlacPiecePlan plan;
    const auto &frames = album.frames;
    auto first = std::upper_bound(frames.begin(), frames.end(), start,
                                  [](qint64 sample, const FlacFrame &f) { return sample < f.firstSample; });
    if (first != frames.begin())
        --first;
    plan.firstFrame = int(first - frames.begin());
    plan.endFrame = plan.firstFrame;
    for (auto f = first; f != frames.end() && f->firstSample < end; ++f) {
        const qint64 from = std::max(start, f->firstSample), to = std::min(end, f->firstSample + f->blockSize);
        const bool whole = from == f->firstSample && to == f->firstSample + f->blockSize;
        plan.steps.push_back(whole ? FlacPieceStep{int(f - frames.begin()), from, to, f->blockSize}
                                   : FlacPieceStep{-1, from, to, int(to - from)});
        plan.endFrame = int(f - frames.begin()) + 1;
    }
    plan.fixedBlockSize = !album.variableBlockSize && first->firstSample == start;

    // A head too short to stand as a frame of its own goes with the next frame; two frames where together they
    // would pass the longest a frame of this album may be.
    auto &steps = plan.steps;
    if (steps.size() > 1 && steps[0].to - steps[0].from < flacMinBlockSize) {
        const qint64 merged = steps[1].to - steps[0].from;
        const int limit = std::max(flacSubsetBlockSize, maxBlockSize);
        steps[1] = {-1, steps[0].from, steps[1].to, int(merged > limit ? (merged + 1) / 2 : merged)};
        steps.erase(steps.begin());
    }
    return plan;
}

} // namespace velvane
