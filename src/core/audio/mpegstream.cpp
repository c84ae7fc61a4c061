#include "core/audio/mpegstream.h"

#include "core/audio/filebytes.h"
#include "core/audio/id3size.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <array>

namespace velvane {

namespace {

// Gapless decoders skip this on top of the encoder's delay, and LAME counts it into the padding.
constexpr int decoderDelay = 529;
constexpr qint64 lameTagSize = 36;
constexpr qint64 lameDelayOffset = 21;
constexpr qint64 lameCrcOffset = 34;

struct FrameHeader
{
    int version = 0; // 1, 2, or 25 for MPEG-2.5
    int layer = 0;
    int sampleRate = 0;
    int bytes = 0;
    int samples = 0;
    bool mono = false;

    [[nodiscard]] bool sameKind(const FrameHeader &other) const
    {
        return version == other.version && layer == other.layer && sampleRate == other.sampleRate;
    }
};

std::optional<FrameHeader> frameHeader(QByteArrayView data, qint64 at)
{
    if (at + 4 > data.size())
        return std::nullopt;
    const auto b = [&](qint64 i) {
        return quint8(data[at + i]);
    };
    if (b(0) != 0xFF || (b(1) & 0xE0) != 0xE0)
        return std::nullopt;
    const int versionBits = (b(1) >> 3) & 3;
    const int layerBits = (b(1) >> 1) & 3;
    const int bitrateIndex = b(2) >> 4;
    const int rateIndex = (b(2) >> 2) & 3;
    // Free-format frames carry no length in their header; real albums do not use them.
    if (versionBits == 1 || layerBits == 0 || bitrateIndex == 0 || bitrateIndex == 15 || rateIndex == 3)
        return std::nullopt;

    static constexpr std::array<std::array<int, 15>, 5> kbits{{
        {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448}, // MPEG-1 layer I
        {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},    // MPEG-1 layer II
        {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320},     // MPEG-1 layer III
        {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},    // MPEG-2/2.5 layer I
        {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},         // MPEG-2/2.5 layers II, III
    }};
    static constexpr std::array<int, 3> mpeg1Rates{44100, 48000, 32000};

    FrameHeader h;
    h.version = versionBits == 3 ? 1 : versionBits == 2 ? 2 : 25;
    h.layer = 4 - layerBits;
    h.sampleRate = mpeg1Rates[rateIndex] / (h.version == 1 ? 1 : h.version == 2 ? 2 : 4);
    h.mono = (b(3) >> 6) == 3;
    const int table = h.version == 1 ? h.layer - 1 : (h.layer == 1 ? 3 : 4);
    const qint64 bitrate = kbits[table][bitrateIndex] * 1000LL;
    const int padding = (b(2) >> 1) & 1;
    if (h.layer == 1) {
        h.samples = 384;
        h.bytes = int((12 * bitrate / h.sampleRate + padding) * 4);
    } else {
        h.samples = h.layer == 3 && h.version != 1 ? 576 : 1152;
        h.bytes = int(h.samples / 8 * bitrate / h.sampleRate + padding);
    }
    return h;
}

quint32 bigEndian32(QByteArrayView data, qint64 at)
{
    return quint32(quint8(data[at])) << 24 | quint32(quint8(data[at + 1])) << 16 | quint32(quint8(data[at + 2])) << 8 |
           quint32(quint8(data[at + 3]));
}

// A frame counts as found only when another of its kind follows it (or the file ends with it), so a stray
// sync word in a tag or in garbage is not taken for audio.
bool confirmed(QByteArrayView data, qint64 at, const FrameHeader &h)
{
    const qint64 next = at + h.bytes;
    if (next == data.size())
        return true;
    const auto following = frameHeader(data, next);
    return following && following->sameKind(h);
}

std::optional<std::pair<qint64, FrameHeader>> findFrame(QByteArrayView data, qint64 from, const FrameHeader *kind)
{
    for (qint64 at = from; at + 4 <= data.size(); ++at) {
        if (quint8(data[at]) != 0xFF)
            continue;
        const auto h = frameHeader(data, at);
        if (h && (!kind || h->sameKind(*kind)) && at + h->bytes <= data.size() && confirmed(data, at, *h))
            return std::pair{at, *h};
    }
    return std::nullopt;
}

// Tags that albums joined from several files carry between their parts; they are no damage.
bool startsTag(QByteArrayView data)
{
    return data.startsWith("ID3") || data.startsWith("TAG") || data.startsWith("APETAGEX") ||
           data.startsWith("LYRICSBEGIN");
}

// CRC-16 with the reflected polynomial 0xA001, as LAME guards its tag.
quint16 lameCrc(QByteArrayView data)
{
    quint16 crc = 0;
    for (char c : data) {
        crc ^= quint8(c);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? quint16((crc >> 1) ^ 0xA001) : quint16(crc >> 1);
    }
    return crc;
}

// Reads the Xing/Info or VBRI frame, if the first frame is one. True when it is, so it is not counted as audio.
bool readInfoFrame(QByteArrayView data, qint64 at, const FrameHeader &h, MpegStream &stream)
{
    const QByteArrayView frame = data.sliced(at, h.bytes);
    if (frame.size() >= 36 + 18 && frame.sliced(36, 4) == QByteArrayView("VBRI")) {
        stream.headerFrames = bigEndian32(frame, 36 + 14);
        return true;
    }
    if (h.layer != 3)
        return false;
    const qint64 xing = h.version == 1 ? (h.mono ? 21 : 36) : (h.mono ? 13 : 21);
    if (frame.size() < xing + 8)
        return false;
    const QByteArrayView id = frame.sliced(xing, 4);
    if (id != QByteArrayView("Xing") && id != QByteArrayView("Info"))
        return false;
    const quint32 flags = bigEndian32(frame, xing + 4);
    qint64 field = xing + 8;
    if (flags & 1) {
        if (frame.size() < field + 4)
            return true;
        stream.headerFrames = bigEndian32(frame, field);
        stream.frameCountOffset = at + field;
        field += 4;
    }
    if (flags & 2) {
        if (frame.size() < field + 4)
            return true;
        stream.headerBytes = bigEndian32(frame, field);
        field += 4;
    }
    field += (flags & 4 ? 100 : 0) + (flags & 8 ? 4 : 0);
    if (frame.size() < field + lameTagSize)
        return true;
    const QByteArrayView encoder = frame.sliced(field, 4);
    if (encoder == QByteArrayView("LAME") || encoder == QByteArrayView("Lavf") || encoder == QByteArrayView("Lavc")) {
        const auto byte = [&](qint64 i) {
            return int(quint8(frame[field + lameDelayOffset + i]));
        };
        stream.hasGaplessInfo = true;
        stream.writtenByLame = encoder == QByteArrayView("LAME");
        stream.encoderDelay = byte(0) << 4 | byte(1) >> 4;
        stream.encoderPadding = (byte(1) & 0x0F) << 8 | byte(2);
        stream.lameTagOffset = at + field;
        const quint16 crc =
            quint16(quint8(frame[field + lameCrcOffset]) << 8 | quint8(frame[field + lameCrcOffset + 1]));
        stream.lameCrcValid = lameCrc(frame.first(field + lameCrcOffset)) == crc;
    }
    return true;
}

bool fitsInfoFrame(const MpegStream &piece, int delay, int padding)
{
    return piece.infoFrameOffset >= 0 && piece.lameTagOffset >= 0 && piece.infoFrameSize > 0 && delay >= 0 &&
           delay <= 0xFFF && padding >= 0 && padding <= 0xFFF;
}

// Writes the frame count, delay and padding into the piece's Info frame (from its first byte), and the LAME tag's
// CRC anew.
void writeInfo(QByteArray &frame, const MpegStream &piece, qint64 frames, int delay, int padding)
{
    if (piece.frameCountOffset >= 0) {
        const qint64 field = piece.frameCountOffset - piece.infoFrameOffset;
        for (int i = 0; i < 4; ++i)
            frame[field + i] = char(quint8(frames >> (24 - 8 * i)));
    }
    const qint64 lame = piece.lameTagOffset - piece.infoFrameOffset;
    const qint64 delayField = lame + lameDelayOffset;
    frame[delayField] = char(delay >> 4);
    frame[delayField + 1] = char((delay & 0x0F) << 4 | padding >> 8);
    frame[delayField + 2] = char(padding & 0xFF);
    const quint16 crc = lameCrc(QByteArrayView(frame).first(lame + lameCrcOffset));
    frame[lame + lameCrcOffset] = char(crc >> 8);
    frame[lame + lameCrcOffset + 1] = char(crc & 0xFF);
}

} // namespace

qint64 MpegStream::skippedSamples() const
{
    return hasGaplessInfo ? encoderDelay + decoderDelay : 0;
}

QList<MpegDamage> MpegStream::damage(qint64 fileSize) const
{
    if (gaps.isEmpty() || audioFrames == 0)
        return {};
    const double averageFrame = double(frameBytes) / double(audioFrames);
    QList<qint64> lostFrames;
    for (const MpegGap &gap : gaps)
        lostFrames.append(qRound64(double(gap.bytes) / averageFrame)); // none for bytes put in between frames
    const bool headerCountsThisFile =
        headerBytes > 0 && (headerBytes == fileSize || headerBytes == fileSize - infoFrameOffset);
    if (headerCountsThisFile && headerFrames > audioFrames && gaps.size() == 1)
        lostFrames[0] = headerFrames - audioFrames;

    QList<MpegDamage> stretches;
    qint64 lostBefore = 0;
    for (qsizetype i = 0; i < gaps.size(); ++i) {
        const qint64 frame = gaps[i].frame + lostBefore;
        // The frame in front of a gap is cut short; those behind it may draw on bytes the gap took (the bit
        // reservoir reaches back 511 bytes) and on the decoder's overlap with the frame before.
        const qint64 from = std::max<qint64>(0, (frame - 1) * frameSamples - skippedSamples());
        const qint64 to = std::max<qint64>(from, (frame + lostFrames[i] + 3) * frameSamples - skippedSamples());
        stretches.append({from, to, lostFrames[i] * frameSamples});
        lostBefore += lostFrames[i];
    }
    return stretches;
}

qint64 MpegStream::playedSamples() const
{
    const qint64 total = audioFrames * frameSamples;
    if (!hasGaplessInfo)
        return total;
    // Decoders drop the padding where the header says the stream ends, as far as the stream reaches there. When
    // more frames follow (encodes joined end to end), nothing is dropped and all of them play.
    const qint64 start = encoderDelay + decoderDelay;
    if (headerFrames >= 0 && headerFrames < audioFrames)
        return std::max<qint64>(0, total - start);
    const qint64 headerEnd = (headerFrames >= 0 ? headerFrames : audioFrames) * frameSamples;
    const qint64 dropFrom = std::max(headerEnd - encoderPadding + decoderDelay, start);
    const qint64 dropped = std::max<qint64>(0, total - dropFrom);
    return std::max<qint64>(0, total - start - dropped);
}

std::optional<MpegStream> scanMpegStream(QByteArrayView data, bool headerOnly)
{
    const auto first = findFrame(data, id3v2TagsEnd(data), nullptr);
    if (!first)
        return std::nullopt;
    const FrameHeader kind = first->second;
    MpegStream stream;
    stream.sampleRate = kind.sampleRate;
    stream.frameSamples = kind.samples;

    qint64 at = first->first;
    if (readInfoFrame(data, at, kind, stream)) {
        stream.infoFrameOffset = at;
        stream.infoFrameSize = kind.bytes;
        at += kind.bytes;
    }
    stream.firstAudioOffset = at;
    if (headerOnly)
        return stream;
    // Albums and pieces are walked whole, and most of their frames repeat the header before them but for the padding
    // bit, so a header read is kept for those.
    quint32 knownBits = 0;
    FrameHeader known;
    while (at < data.size()) {
        std::optional<FrameHeader> h;
        if (at + 4 <= data.size()) {
            const quint32 bits = bigEndian32(data, at);
            const int padding = (bits & 0x200) ? (kind.layer == 1 ? 4 : 1) : 0;
            if ((bits & 0xFFFFFD00) == knownBits) {
                h = known;
                h->bytes += padding;
            } else if ((h = frameHeader(data, at))) {
                knownBits = bits & 0xFFFFFD00;
                known = *h;
                known.bytes -= padding;
            }
        }
        if (!h || !h->sameKind(kind)) {
            // Garbage or a tag between frames: go on at the next frame that is confirmed by its successor.
            const auto next = findFrame(data, at + 1, &kind);
            if (!next)
                break;
            if (stream.audioFrames > 0 && !startsTag(data.sliced(at)))
                stream.gaps.append({stream.audioFrames, next->first - at});
            at = next->first;
            h = next->second;
        }
        // A frame cut off by the end of the file is not played.
        if (at + h->bytes > data.size())
            break;
        if (stream.audioFrames == 0)
            stream.firstAudioOffset = at;
        ++stream.audioFrames;
        stream.frameBytes += h->bytes;
        at += h->bytes;
    }
    if (stream.audioFrames == 0)
        return std::nullopt;
    return stream;
}

std::optional<MpegStream> scanMpegFile(const QString &path, bool headerOnly)
{
    const FileBytes file(path);
    if (file.isEmpty())
        return std::nullopt;
    return scanMpegStream(file.data(), headerOnly);
}

bool setGaplessInfo(const QString &path, const MpegStream &piece, int delay, int padding)
{
    if (!fitsInfoFrame(piece, delay, padding))
        return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite) || !file.seek(piece.infoFrameOffset))
        return false;
    QByteArray frame = file.read(piece.infoFrameSize);
    if (frame.size() != piece.infoFrameSize)
        return false;
    writeInfo(frame, piece, piece.audioFrames, delay, padding);
    return file.seek(piece.infoFrameOffset) && file.write(frame) == frame.size() && file.flush();
}

std::optional<FrontPlan> silencePrimedFront(const QString &path, const MpegStream &piece, int delay, int padding)
{
    QFile file(path);
    if (!fitsInfoFrame(piece, delay, padding) || !file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray tags = file.read(piece.infoFrameOffset);
    QByteArray info = file.read(piece.infoFrameSize);
    if (tags.size() != piece.infoFrameOffset || info.size() != piece.infoFrameSize || !(quint8(info[1]) & 1))
        return std::nullopt;
    file.close();
    // A frame of its header and zeros (one without a checksum, as checked above) takes nothing from the reservoir
    // and holds no spectrum.
    QByteArray silence = info.first(4);
    silence.resize(info.size(), '\0');
    writeInfo(info, piece, piece.audioFrames + 1, delay, padding);

    const qint64 frames = info.size() + silence.size();
    const bool oneTag = tags.isEmpty() || (id3v2TagSize(tags) == tags.size() && !(quint8(tags[5]) & 0x10));
    FrontPlan plan;
    plan.audioBegin = piece.firstAudioOffset;
    plan.audioEnd = QFileInfo(path).size();
    plan.smallestFront = tags.size() + frames;
    plan.render = [=](qint64 size) -> std::optional<QByteArray> {
        const qint64 room = size - frames - tags.size();
        if (room == 0)
            return tags + info + silence;
        // Room left over widens the ID3v2 tag's padding, or makes an empty tag; the tags are written there later.
        if (room < 0 || !oneTag || (tags.isEmpty() && room < id3v2HeaderSize))
            return std::nullopt;
        QByteArray tag = tags.isEmpty() ? QByteArray("ID3\x03\0\0\0\0\0\0", id3v2HeaderSize) : tags;
        tag.resize(tag.size() + (tags.isEmpty() ? room - id3v2HeaderSize : room), '\0');
        setId3v2BodySize(tag, tag.size() - id3v2HeaderSize);
        return tag + info + silence;
    };
    return plan;
}

} // namespace velvane
