#pragma once

#include <QList>
#include <QString>

#include <optional>

// Short albums for tests that run the real splitter, and the means to check the pieces: each track plays notes of
// one pitch over noise, with rests and short silences, so a piece's dominant frequency says which track it holds.
// Needs ffmpeg, ffprobe, lame and oggenc.
namespace velvane::test {

enum class AlbumFormat
{
    Mp3Cbr,       // lame --cbr -b 128
    Mp3Vbr,       // lame -V 2
    Mp3FfmpegCbr, // ffmpeg's libmp3lame at 128 kb/s, whose LAME tag names "Lavc"
    Mp3FfmpegVbr, // ffmpeg's libmp3lame -q:a 2
    Mp3NoInfo,    // lame -t --cbr -b 128: no Info frame, so no delay or padding told
    Mp3XingOnly,  // lame -V 2 with its LAME tag blanked: a Xing frame that tells no delay, as older encoders wrote
    Mp3Mono,      // lame -m m --cbr -b 96: MPEG-1 mono, whose Info frame sits nearer the header
    Mp3Mpeg2Mono, // lame -m m --resample 22.05 --cbr -b 64: MPEG-2 mono at 22.05 kHz, its Info frame nearer still
    Ogg           // oggenc -q 5
};

// A cue sheet's minutes:seconds:frames, at 75 frames a second.
[[nodiscard]] QString cueTime(qint64 frames);

// Everything is made and decoded at this rate.
inline constexpr int sampleRate = 44100;

struct Album
{
    QString path;              // folder/<baseName>.mp3 or .ogg
    QList<double> tones;       // Hz, one per track
    QList<qint64> trackStarts; // first sample of each track
    qint64 totalSamples = 0;   // the album's length in samples
};

// Distinct frequencies, 230 Hz apart from 330 Hz up.
[[nodiscard]] double trackTone(int track);

// Writes an album of consecutive tracks of notes over a faint noise floor, all of it silent for a moment now and then,
// track i lasting durations[i] seconds (rounded to whole samples), 44.1 kHz stereo but for the mono formats
// (trackStarts and totalSamples always at 44.1 kHz). Nothing when a tool fails. Track i plays trackTone(firstTone + i),
// so albums made with different firstTone can be told apart.
[[nodiscard]] std::optional<Album> makeAlbum(const QString &folder, AlbumFormat format, const QList<double> &durations,
                                             const QString &baseName = QStringLiteral("album"), int firstTone = 0);

// The sample at which piece begins in whole, searched for within reach of expected: where the piece's samples are the
// album's, one for one. -1 when they are nowhere near.
[[nodiscard]] qint64 offsetIn(const QList<qint16> &whole, const QList<qint16> &piece, qint64 expected, qint64 reach);

// Mono 16-bit samples at rate (Ogg: at its own), as a gapless player decodes them: MP3 by ffmpeg, which leaves out
// the encoder delay and padding of the LAME header; Ogg by oggdec, which trims to the granule positions at both ends
// (ffmpeg keeps the pre-roll before a piece's first granule).
[[nodiscard]] std::optional<QList<qint16>> decodePcm(const QString &path, int rate = sampleRate);

// The candidate with the most energy in samples (Goertzel at each candidate); 0 for no samples or candidates.
[[nodiscard]] double dominantTone(const QList<qint16> &samples, const QList<double> &candidates);

enum class OggEncoder
{
    Oggenc,         // oggenc -q 5, stereo 44.1 kHz
    OggencMono22k,  // oggenc -q 3, mono 22.05 kHz
    FfmpegLibvorbis // ffmpeg's libvorbis -q 4, stereo 44.1 kHz
};

// An Ogg Vorbis album that sounds like music: short decaying notes of a stepping melody, rests between phrases and a
// noise floor, track i lasting durations[i] seconds. trackStarts and totalSamples are at the encoder's rate.
[[nodiscard]] std::optional<Album> makeMusicOgg(const QString &folder, OggEncoder encoder,
                                                const QList<double> &durations,
                                                const QString &baseName = QStringLiteral("album"));

// Interleaved 16-bit samples exactly as oggdec decodes them.
struct Pcm
{
    QList<qint16> samples;
    int channels = 0;
    int rate = 0;
    [[nodiscard]] qint64 frames() const { return channels ? samples.size() / channels : 0; }
};
[[nodiscard]] std::optional<Pcm> decodeOgg(const QString &path);

// Where piece stands in album, sample for sample, searched within slack frames of expectedStart; nothing when it is
// not there.
[[nodiscard]] std::optional<qint64> locate(const Pcm &piece, const Pcm &album, qint64 expectedStart, qint64 slack);

} // namespace velvane::test
