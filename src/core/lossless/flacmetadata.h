#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <array>
#include <optional>

namespace velvane {

struct FlacStreamInfo
{
    int minBlockSize = 0;
    int maxBlockSize = 0;
    int minFrameSize = 0; // 0: not known
    int maxFrameSize = 0;
    int sampleRate = 0;
    int channels = 0;
    int bitsPerSample = 0;
    qint64 totalSamples = 0; // 0: not known
    std::array<quint8, 16> md5 = {};

    [[nodiscard]] int bytesPerSample() const { return (bitsPerSample + 7) / 8; }
    [[nodiscard]] bool hasMd5() const { return md5 != std::array<quint8, 16>{}; }
};

inline constexpr int flacStreamInfoLength = 34;

[[nodiscard]] std::optional<FlacStreamInfo> parseFlacStreamInfo(QByteArrayView body);
[[nodiscard]] QByteArray flacStreamInfoBody(const FlacStreamInfo &info);

// Where a FLAC file's audio lies and how it is coded: after any ID3v2 tag at the front, the "fLaC" mark and the
// metadata blocks, which must begin with a STREAMINFO.
struct FlacLayout
{
    FlacStreamInfo info;
    qsizetype audioOffset = 0;
};
[[nodiscard]] std::optional<FlacLayout> readFlacLayout(QByteArrayView file);

// The metadata of a piece: STREAMINFO (to be filled in once its frames are written, at flacStreamInfoOffset), a
// VORBIS_COMMENT holding only the vendor string, and padding of tagRoom bytes, which the tag writer fills in place.
inline constexpr qsizetype flacStreamInfoOffset = 8;
[[nodiscard]] QByteArray flacPieceMetadata(const FlacStreamInfo &info, int tagRoom);

} // namespace velvane
