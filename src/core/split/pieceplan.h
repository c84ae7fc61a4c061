#pragma once

#include "core/split/outputname.h"
#include "core/split/splitjob.h"

#include <QList>
#include <QString>

#include <optional>

namespace velvane {

// A stretch of audio before the first track shorter than this joins the first track: a CD's two-second pregap,
// a count-in or applause. Anything longer is a hidden track of its own.
inline constexpr qint64 pregapPieceFrames = 10 * 75;

// One file the job writes.
struct PiecePlan
{
    int number = 0;            // the track number; 0 for the audio before track 1 when it is a piece of its own
    qsizetype track = -1;      // the entry in the track list whose texts name and tag the piece
    qint64 start = 0;          // in its audio file, in 1/75 s
    std::optional<qint64> end; // none: to the end of the audio file
    OutputName name;
    QString title; // as tagged
    QString performer;
};

// The pieces cut from one audio file, in order, or why none of them can be.
struct SourcePlan
{
    QString audioFile;
    AudioFormat format = AudioFormat::Mp3;
    AudioFormat pieceFormat = AudioFormat::Mp3; // what the pieces are written as
    QString problem;                            // non-empty: every piece fails with it
    QList<PiecePlan> pieces;
};

// Which pieces come from which file, with what cut points and names. Start times are expected to have passed
// checkStartTimes(); a piece whose time cannot be read gets the problem of its source instead.
[[nodiscard]] QList<SourcePlan> planPieces(const SplitSettings &settings);

} // namespace velvane
