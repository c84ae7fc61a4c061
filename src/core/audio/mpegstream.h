#pragma once

#include "core/audio/frontplan.h"

#include <QByteArrayView>
#include <QList>
#include <QString>

#include <optional>

namespace velvane {

// Bytes between two audio frames that are no frame: a damaged stretch (zeros of an unfinished download, garbage).
struct MpegGap
{
    qint64 frame = 0; // the audio frames before it
    qint64 bytes = 0;
};

// A stretch of an album whose audio is lost or decodes wrong, in samples as a gapless player plays the album whole:
// from the last sound frame before the damage to the first one after it, and how much audio went with it.
struct MpegDamage
{
    qint64 from = 0;
    qint64 to = 0;
    qint64 lostSamples = 0;
};

// What a walk over an MPEG audio file's frames finds. The Xing/Info frame's claims are kept apart from what
// the stream holds, so that a file joined from two encodes (whose first header speaks for the first part only)
// can be told from a whole one.
struct MpegStream
{
    int sampleRate = 0;
    int frameSamples = 0;     // per frame: 1152, or 576 for MPEG-2/2.5 layer III, 384 for layer I
    qint64 audioFrames = 0;   // frames in the stream, the Info frame left out
    qint64 headerFrames = -1; // what the Xing/Info or VBRI frame claims; -1 when it claims nothing
    qint64 headerBytes = -1;  // the file's size in bytes as the Xing/Info frame claims it; -1 when it claims none
    qint64 frameBytes = 0;    // of the audio frames together
    QList<MpegGap> gaps;      // inside the stream only; what follows its last frame (tags) is none

    // The encoder's delay and padding from a LAME tag (also written as "Lavf"/"Lavc"). The padding counts the
    // decoder's own 529-sample delay, as gapless decoders read it.
    bool hasGaplessInfo = false;
    int encoderDelay = 0;
    int encoderPadding = 0;
    bool lameCrcValid = false;  // players that check it ignore the delay and padding when it is wrong
    bool writtenByLame = false; // the tag names LAME itself, not ffmpeg's "Lavf"/"Lavc"

    // Where the Info frame, its frame count and its LAME tag stand in the file, for patching; -1 when absent.
    qint64 infoFrameOffset = -1;
    qint64 frameCountOffset = -1;
    qint64 lameTagOffset = -1; // offset of the 36-byte LAME extension, its CRC over everything before it
    qint64 firstAudioOffset = -1;
    int infoFrameSize = 0;

    [[nodiscard]] bool headerMatchesStream() const { return headerFrames < 0 || headerFrames == audioFrames; }
    // The samples a gapless decoder plays: the encoder's delay skipped, the padding dropped at the end.
    [[nodiscard]] qint64 playedSamples() const;
    // The samples a decoder skips in front: the encoder's delay and its own.
    [[nodiscard]] qint64 skippedSamples() const;
    // Where the gaps lost audio, on the timeline of the album as it was whole. Lost frames are told by the bytes a
    // gap spans, or by the Info frame's count when that speaks for this very file.
    [[nodiscard]] QList<MpegDamage> damage(qint64 fileSize) const;
};

// Nothing when no run of MPEG audio frames is found. With headerOnly, stops after the first frame: what the
// Info frame says, without counting the audio frames.
[[nodiscard]] std::optional<MpegStream> scanMpegStream(QByteArrayView data, bool headerOnly = false);
[[nodiscard]] std::optional<MpegStream> scanMpegFile(const QString &path, bool headerOnly = false);

// Rewrites the Info frame of a piece: the frame count the stream holds and the given delay and padding, with the
// LAME tag's CRC made anew. False when the piece has no LAME tag, the values do not fit, or it cannot be written.
[[nodiscard]] bool setGaplessInfo(const QString &path, const MpegStream &piece, int delay, int padding);
// The same, with a silent frame put in behind the Info frame, for a piece that must play from its first frame's
// first sample: a gapless decoder skips its own delay in any case, and now skips it in the silence. That frame
// leaves the decoder as it was at the start of the album, so the piece decodes as the album does. This only plans
// the piece's new front; writing it is the caller's. Nothing when the piece has no LAME tag, the values do not fit,
// or it cannot be read.
[[nodiscard]] std::optional<FrontPlan> silencePrimedFront(const QString &path, const MpegStream &piece, int delay,
                                                          int padding);

} // namespace velvane
