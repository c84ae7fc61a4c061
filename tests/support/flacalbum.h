#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// FLAC albums that sound like music, from the encoders people use, and the means to decode them for comparison.
// Needs ffmpeg, flac and metaflac.
namespace velvane::test {

enum class FlacEncoder
{
    Flac5,  // flac -5: fixed blocks of 4,096
    Flac8,  // flac -8
    Ffmpeg, // ffmpeg's encoder: fixed blocks of 4,608 at 44.1 and 48 kHz
};

struct FlacAlbumSpec
{
    FlacEncoder encoder = FlacEncoder::Flac5;
    int rate = 44100;
    int bits = 16;
    int channels = 2;
    qint64 samples = 0;
};

struct FlacAlbum
{
    QString path;
    FlacAlbumSpec spec;
    int blockSize = 0; // of every frame but the last
};

// folder/<baseName>.flac: decaying notes of a stepping melody, each channel at its own pitch, over pink noise, with
// rests and now and then digital silence; with a SEEKTABLE, a VORBIS_COMMENT and a PICTURE. Nothing when a tool
// fails.
[[nodiscard]] std::optional<FlacAlbum> makeFlacAlbum(const QString &folder, const FlacAlbumSpec &spec,
                                                     const QString &baseName = QStringLiteral("album"));

enum class FlacDecoder
{
    Flac,   // the reference decoder, libFLAC
    Ffmpeg, // ffmpeg's own
};

// The file's samples, interleaved little-endian in whole bytes; nothing when the decoder fails. With seconds, from
// that point on, as ffmpeg -ss seeks.
[[nodiscard]] std::optional<QByteArray> decodeFlac(const QString &path, int bits, FlacDecoder decoder,
                                                   int seekSeconds = 0);

// True when flac -t passes the file: every frame's CRC and the MD5 of the samples.
[[nodiscard]] bool flacTestPasses(const QString &path);

} // namespace velvane::test
