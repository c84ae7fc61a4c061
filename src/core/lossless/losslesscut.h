#pragma once

#include <QList>
#include <QString>

#include <functional>
#include <optional>

namespace velvane {

// One piece to cut from a lossless album image. Cut points are in 1/75 s, as a cue sheet gives them; at every
// sample rate the image may have, that is a whole number of samples.
struct LosslessPiece
{
    qint64 start = 0;
    std::optional<qint64> end; // none: to the end of the audio
    QString path;              // where the piece is written; nothing may be there yet
    int tagRoom = 0;           // bytes left free in the piece for its tags, so that tagging overwrites in place
};

struct LosslessCutRequest
{
    QString audioFile;
    QList<LosslessPiece> pieces; // in order, none overlapping
    bool wavAsFlac = false;      // a WAV image's pieces are written as FLAC
};

struct LosslessPieceResult
{
    qsizetype piece = -1; // index into LosslessCutRequest::pieces
    bool ok = false;
    QString reason; // why not, in the user's words
};

struct LosslessCallbacks
{
    // Once per piece, on the calling thread, in any order. A piece that is not ok leaves no file at its path.
    std::function<void(const LosslessPieceResult &)> pieceDone;
    // Polled often: true ends the cut at once; pieces not reported yet get no call and leave no file.
    std::function<bool()> stopRequested;
};

// FLAC in, FLAC out: the frames wholly inside a piece are copied, only those across a cut re-encoded; every piece
// carries its own STREAMINFO and MD5, and the album's MD5 is checked before any piece is reported ok.
void cutFlacImage(const LosslessCutRequest &request, const LosslessCallbacks &callbacks);

// WAV in, WAV (or FLAC) out, cut at exact sample boundaries.
void cutWavImage(const LosslessCutRequest &request, const LosslessCallbacks &callbacks);

} // namespace velvane
