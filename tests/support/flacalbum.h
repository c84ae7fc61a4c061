#pragma once

#include "core/lossless/losslesscut.h"

#include <QByteArray>
#include <QString>

#include <optional>

// FLAC albums that sound like music, from the encoders people use, the means to decode them for comparison, and
// cuts of them. Needs ffmpeg, flac and metaflac.
namespace velvane::test {

enum class FlacEncoder
{
    Flac5,  // flac -5: fixed blocks of 4,096
    Flac8,  // flac -8
    Ffmpeg, // ffmpeg's encoder: fixed blocks of 4,608 at 44.1 and 48 kHz
};

struct FlacAlbumShape
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
    FlacAlbumShape shape;
    int blockSize = 0; // of every frame but the last
};

// folder/<baseName>.flac: decaying notes of a stepping melody, each channel at its own pitch, over pink noise, with
// rests and now and then digital silence; with a SEEKTABLE, a VORBIS_COMMENT and a PICTURE. Nothing when a tool
// fails.
[[nodiscard]] std::optional<FlacAlbum> makeFlacAlbum(const QString &folder, const FlacAlbumShape &shape,
                                                     const QString &baseName = QStringLiteral("album"));

// The file's samples, interleaved little-endian in whole bytes: as the reference decoder gives them, or (for WAV
// too) as ffmpeg does from seekSeconds on. Empty when the decoder fails.
[[nodiscard]] QByteArray decodeByFlac(const QString &path);
[[nodiscard]] QByteArray decodeByFfmpeg(const QString &path, int bits, int seekSeconds = 0);

// True when flac -t passes the file: every frame's CRC and the MD5 of the samples.
[[nodiscard]] bool flacTestPasses(const QString &path);

struct LosslessRun
{
    QList<std::optional<LosslessPieceResult>> results; // by piece; none when nothing was reported
    QStringList paths;
};

// Cuts album (FLAC by its name, else WAV) at the cue times starts (1/75 s), the last piece to the end, into
// folder/1.flac... (or .wav), asking piece i to leave 300 + 100 i bytes for tags.
LosslessRun cutAlbum(const QString &album, const QList<qint64> &starts, const QString &folder, bool wavAsFlac = false,
                     const std::function<bool()> &stop = {});

} // namespace velvane::test
