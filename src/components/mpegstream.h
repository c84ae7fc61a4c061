#pragma once

#include <QByteArrayView>
#include <QString>

#include <optional>

namespace velvane {

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

    // The encoder's delay and padding from a LAME tag (also written as "Lavf"/"Lavc"). The padding counts the
    // decoder's own 529-sample delay, as gapless decoders read it.
    bool hasGaplessInfo = false;
    int encoderDelay = 0;
    int encoderPadding = 0;
    bool lameCrcValid = false; // players that check it ignore the delay and padding when it is wrong

    // Where the Info frame, its frame count and its LAME tag stand in the file, for patching; -1 when absent.
    qint64 infoFrameOffset = -1;
    qint64 frameCountOffset = -1;
    qint64 lameTagOffset = -1; // offset of the 36-byte LAME extension, its CRC over everything before it

    [[nodiscard]] bool headerMatchesStream() const { return headerFrames < 0 || headerFrames == audioFrames; }
    // The samples a gapless decoder plays: the encoder's delay skipped, the padding dropped at the end.
    [[nodiscard]] qint64 playedSamples() const;
};

// Nothing when no run of MPEG audio frames is found. With headerOnly, stops after the first frame: what the
// Info frame says, without counting the audio frames.
[[nodiscard]] std::optional<MpegStream> scanMpegStream(QByteArrayView data, bool headerOnly = false);
[[nodiscard]] std::optional<MpegStream> scanMpegFile(const QString &path, bool headerOnly = false);
// The file's frames as its Info frame counts them when its byte count is the file's own size, so that a whole
// album or piece need not be walked; otherwise the count of a full walk.
[[nodiscard]] std::optional<MpegStream> measureMpegFile(const QString &path);

// Rewrites the Info frame of a piece that runs to its album's end: the frame count the stream holds and the
// given padding, with the LAME tag's CRC made anew. False when the piece has no LAME tag or cannot be written.
[[nodiscard]] bool setPieceEnd(const QString &path, const MpegStream &piece, int padding);

} // namespace velvane
