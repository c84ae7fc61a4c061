#pragma once

#include <QList>
#include <QString>

#include <optional>

// Short albums of sine tones for tests that run the real splitter, and the means to check the pieces: each track
// is one tone, so a piece's dominant frequency says which track it holds. Needs ffmpeg, ffprobe, lame and oggenc.
namespace velvane::test {

enum class AlbumFormat
{
    Mp3Cbr, // lame --cbr -b 128
    Mp3Vbr, // lame -V 2
    Ogg     // oggenc -q 5
};

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

// Writes an album of consecutive tones over a faint noise floor, track i lasting durations[i] seconds (rounded to
// whole samples), 44.1 kHz stereo. Nothing when a tool fails. Track i plays trackTone(firstTone + i), so albums made
// with different firstTone can be told apart.
[[nodiscard]] std::optional<Album> makeAlbum(const QString &folder, AlbumFormat format, const QList<double> &durations,
                                             const QString &baseName = QStringLiteral("album"), int firstTone = 0);

// Mono 16-bit samples at sampleRate, as a gapless player decodes them: MP3 by ffmpeg, which leaves out the encoder
// delay and padding of the LAME header; Ogg by oggdec, which trims to the granule positions at both ends (ffmpeg
// keeps the pre-roll before a piece's first granule).
[[nodiscard]] std::optional<QList<qint16>> decodePcm(const QString &path);

// The candidate with the most energy in samples (Goertzel at each candidate); 0 for no samples or candidates.
[[nodiscard]] double dominantTone(const QList<qint16> &samples, const QList<double> &candidates);

} // namespace velvane::test
