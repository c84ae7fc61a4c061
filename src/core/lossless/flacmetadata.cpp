#include "core/lossless/flacmetadata.h"

#include "core/audio/id3size.h"

#include <FLAC/format.h>

#include <QtEndian>

#include <cstring>

namespace velvane {

namespace {

enum BlockType : uchar
{
    StreamInfoBlock = 0,
    PaddingBlock = 1,
    VorbisCommentBlock = 4
};

const uchar *bytesOf(QByteArrayView view)
{
    return reinterpret_cast<const uchar *>(view.data());
}

void appendBlockHeader(QByteArray &out, BlockType type, bool last, qsizetype length)
{
    out += char((last ? 0x80 : 0) | type);
    out += char(length >> 16);
    out += char(length >> 8);
    out += char(length);
}

} // namespace

std::optional<FlacStreamInfo> parseFlacStreamInfo(QByteArrayView body)
{
    if (body.size() < flacStreamInfoLength)
        return std::nullopt;
    const uchar *b = bytesOf(body);
    FlacStreamInfo info;
    info.minBlockSize = qFromBigEndian<quint16>(b);
    info.maxBlockSize = qFromBigEndian<quint16>(b + 2);
    info.minFrameSize = int(qFromBigEndian<quint32>(b + 3) & 0xFFFFFF);
    info.maxFrameSize = int(qFromBigEndian<quint32>(b + 6) & 0xFFFFFF);
    const quint64 packed = qFromBigEndian<quint64>(b + 10);
    info.sampleRate = int(packed >> 44);
    info.channels = int((packed >> 41) & 7) + 1;
    info.bitsPerSample = int((packed >> 36) & 31) + 1;
    info.totalSamples = qint64(packed & 0xFFFFFFFFFull);
    std::memcpy(info.md5.data(), b + 18, 16);
    if (info.sampleRate == 0 || info.maxBlockSize < 16 || info.bitsPerSample < 4 || info.bitsPerSample > 32)
        return std::nullopt;
    return info;
}

QByteArray flacStreamInfoBody(const FlacStreamInfo &info)
{
    QByteArray body(flacStreamInfoLength, '\0');
    uchar *b = reinterpret_cast<uchar *>(body.data());
    qToBigEndian<quint16>(quint16(info.minBlockSize), b);
    qToBigEndian<quint16>(quint16(info.maxBlockSize), b + 2);
    const quint32 frameSizes[2] = {quint32(info.minFrameSize), quint32(info.maxFrameSize)};
    for (int i = 0; i < 2; ++i) {
        b[4 + 3 * i] = uchar(frameSizes[i] >> 16);
        b[5 + 3 * i] = uchar(frameSizes[i] >> 8);
        b[6 + 3 * i] = uchar(frameSizes[i]);
    }
    const quint64 packed = quint64(info.sampleRate) << 44 | quint64(info.channels - 1) << 41 |
                           quint64(info.bitsPerSample - 1) << 36 | (quint64(info.totalSamples) & 0xFFFFFFFFFull);
    qToBigEndian<quint64>(packed, b + 10);
    std::memcpy(b + 18, info.md5.data(), 16);
    return body;
}

std::optional<FlacLayout> readFlacLayout(QByteArrayView file)
{
    // Some taggers put an ID3v2 tag in front of the stream; decoders skip it, and so do we.
    qsizetype at = id3v2TagsEnd(file);
    if (file.size() < at + 4 || file.sliced(at, 4) != "fLaC")
        return std::nullopt;
    at += 4;
    FlacLayout layout;
    bool first = true, last = false;
    while (!last) {
        if (file.size() < at + 4)
            return std::nullopt;
        const uchar *header = bytesOf(file) + at;
        last = header[0] & 0x80;
        const int type = header[0] & 0x7F;
        const qsizetype length = header[1] << 16 | header[2] << 8 | header[3];
        at += 4;
        if (file.size() < at + length || (first && type != StreamInfoBlock))
            return std::nullopt;
        if (first) {
            const auto info = parseFlacStreamInfo(file.sliced(at, length));
            if (!info)
                return std::nullopt;
            layout.info = *info;
        }
        first = false;
        at += length;
    }
    layout.audioOffset = at;
    return layout;
}

QByteArray flacPieceMetadata(const FlacStreamInfo &info, int tagRoom)
{
    QByteArray out("fLaC");
    appendBlockHeader(out, StreamInfoBlock, false, flacStreamInfoLength);
    out += flacStreamInfoBody(info);

    const QByteArray vendor(FLAC__VENDOR_STRING);
    QByteArray comment(4, '\0');
    qToLittleEndian<quint32>(quint32(vendor.size()), comment.data());
    comment += vendor;
    comment += QByteArray(4, '\0'); // no comments
    appendBlockHeader(out, VorbisCommentBlock, tagRoom <= 0, comment.size());
    out += comment;
    if (tagRoom > 0) {
        // A block's length has 24 bits.
        const int room = std::min(tagRoom, 0xFFFFFF);
        appendBlockHeader(out, PaddingBlock, true, room);
        out += QByteArray(room, '\0');
    }
    return out;
}

} // namespace velvane
