#include "core/audio/oggstream.h"

#include <QFile>
#include <QHashFunctions>
#include <QList>

#include <algorithm>
#include <array>
#include <bit>

namespace velvane {

namespace {

constexpr qint64 pageHeaderSize = 27;

quint32 littleEndian32(QByteArrayView data, qint64 at)
{
    quint32 value = 0;
    for (int i = 3; i >= 0; --i)
        value = value << 8 | quint8(data[at + i]);
    return value;
}

qint64 littleEndian64(QByteArrayView data, qint64 at)
{
    return qint64(quint64(littleEndian32(data, at + 4)) << 32 | littleEndian32(data, at));
}

// Ogg's CRC-32: polynomial 0x04C11DB7, not reflected, over the page with its CRC field taken as zero. Every page of
// an album and of each piece goes through it, so it runs over raw bytes, eight at a time.
class PageCrc
{
public:
    PageCrc()
    {
        for (quint32 i = 0; i < 256; ++i) {
            quint32 r = i << 24;
            for (int bit = 0; bit < 8; ++bit)
                r = (r & 0x80000000u) ? (r << 1) ^ 0x04C11DB7u : r << 1;
            m_table[0][i] = r;
        }
        for (int k = 1; k < 8; ++k) {
            for (quint32 i = 0; i < 256; ++i)
                m_table[k][i] = (m_table[k - 1][i] << 8) ^ m_table[0][m_table[k - 1][i] >> 24];
        }
    }

    [[nodiscard]] quint32 ofPage(QByteArrayView page) const
    {
        static constexpr uchar zeros[4] = {};
        const auto *bytes = reinterpret_cast<const uchar *>(page.data());
        quint32 crc = update(0, bytes, 22);
        crc = update(crc, zeros, 4);
        return update(crc, bytes + 26, page.size() - 26);
    }

private:
    [[nodiscard]] quint32 update(quint32 crc, const uchar *p, qint64 n) const
    {
        for (; n >= 8; n -= 8, p += 8) {
            const quint32 high = crc ^ (quint32(p[0]) << 24 | quint32(p[1]) << 16 | quint32(p[2]) << 8 | p[3]);
            crc = m_table[7][high >> 24] ^ m_table[6][(high >> 16) & 0xFF] ^ m_table[5][(high >> 8) & 0xFF] ^
                  m_table[4][high & 0xFF] ^ m_table[3][p[4]] ^ m_table[2][p[5]] ^ m_table[1][p[6]] ^ m_table[0][p[7]];
        }
        for (; n > 0; --n, ++p)
            crc = (crc << 8) ^ m_table[0][((crc >> 24) ^ *p) & 0xFF];
        return crc;
    }

    std::array<std::array<quint32, 256>, 8> m_table;
};

// The block size of each packet comes from its mode, and the modes stand at the end of the setup header, after
// codebooks, floors and residues that would take a decoder to read. Read backwards, they are recognisable: the
// framing bit, before it each mode's 41 bits with 32 of them zero, and before those the count less one in 6 bits.
} // namespace

std::optional<QList<bool>> vorbisModeBlockFlags(QByteArrayView setup)
{
    const auto bit = [&](qint64 at) {
        return (quint8(setup[at / 8]) >> (at % 8)) & 1;
    };
    const auto bits = [&](qint64 at, int count) {
        quint32 value = 0;
        for (int i = 0; i < count; ++i)
            value |= quint32(bit(at + i)) << i;
        return value;
    };
    qint64 framing = setup.size() * 8 - 1;
    while (framing >= 0 && !bit(framing))
        --framing;
    std::optional<QList<bool>> found;
    for (int count = 1; count <= 64; ++count) {
        const qint64 at = framing - 41 * qint64(count) - 6;
        if (at < 0)
            break;
        if (int(bits(at, 6)) + 1 != count)
            continue;
        QList<bool> flags;
        for (int mode = 0; mode < count; ++mode) {
            const qint64 modeAt = at + 6 + 41 * qint64(mode);
            if (bits(modeAt + 1, 16) != 0 || bits(modeAt + 17, 16) != 0)
                break;
            flags.append(bit(modeAt));
        }
        // The longest reading that holds, as a shorter one can sit inside the last modes by chance.
        if (flags.size() == count)
            found = flags;
    }
    return found;
}

quint64 oggPacketKey(QByteArrayView start, qint64 size)
{
    return quint64(qHash(start.first(std::min<qint64>(start.size(), 32)))) ^ (quint64(size) * 0x9E3779B97F4A7C15u);
}

namespace {

struct LogicalStream
{
    quint32 serial = 0;
    bool vorbis = false;
    int sampleRate = 0;
    int shortBlock = 0;
    int longBlock = 0;
    int headerPackets = 0;
    QByteArray setup;
    QList<bool> longModes;
    int modeBits = 0;

    bool inPacket = false; // a packet began on an earlier page and goes on
    int packetFirstByte = -1;
    QByteArrayView packetStart; // its first bytes, for its key
    qint64 packetSize = 0;
    qint64 packetPage = 0;
    int packetSegment = 0;
    int number = 0; // in the file, from 0
    quint32 nextSequence = 0;
    int previousBlock = 0;
    qint64 decoded = -1;  // samples the packets give before any trimming; -1 before the first audio packet
    qint64 position = -1; // libvorbis's granule position, once a page has given one
    qint64 played = 0;
    qint64 startTrim = 0;      // what the decoder drops of the first packet that gives samples
    bool trimmedLater = false; // a trim at the start of some other packet, which leaves a hole
    qint64 playedBefore = 0;   // by the streams before this one
    QList<OggPacketMark> *marks = nullptr;

    [[nodiscard]] bool decodable() const { return vorbis && headerPackets >= 3 && !longModes.isEmpty(); }
    void packetDone(QByteArrayView pageBody, qint64 from, qint64 to, qint64 granule, bool endOfStream);
    void audioPacket(qint64 granule, bool endOfStream);
};

void LogicalStream::packetDone(QByteArrayView pageBody, qint64 from, qint64 to, qint64 granule, bool endOfStream)
{
    if (headerPackets < 3) {
        if (headerPackets == 2) {
            setup += pageBody.sliced(from, to - from);
            if (const auto modes = vorbisModeBlockFlags(setup)) {
                longModes = *modes;
                modeBits = int(std::bit_width(quint32(longModes.size() - 1)));
            }
            setup.clear();
        }
        ++headerPackets;
        return;
    }
    if (decodable())
        audioPacket(granule, endOfStream);
}

// What vorbis_synthesis_blockin does with the granule position, followed sample for sample: the first page that
// gives one trims the start when the packets so far decode to more (the end, when it also ends the stream); later
// the end of the stream trims what runs past it. Each trim takes at most the samples of the packet at hand.
void LogicalStream::audioPacket(qint64 granule, bool endOfStream)
{
    if (packetFirstByte < 0 || (packetFirstByte & 1))
        return; // empty or no audio: the decoder skips it
    const int mode = (packetFirstByte >> 1) & ((1 << modeBits) - 1);
    if (mode >= longModes.size())
        return;
    const int block = longModes[mode] ? longBlock : shortBlock;
    qint64 samples = previousBlock > 0 ? previousBlock / 4 + block / 4 : 0;
    previousBlock = block;
    decoded = decoded < 0 ? 0 : decoded + samples;
    qint64 produced = samples;
    qint64 trimmedStart = 0;
    if (position < 0) {
        if (granule != -1) {
            position = granule;
            if (decoded > granule) {
                produced -= std::min(decoded - granule, produced);
                if (!endOfStream)
                    trimmedStart = samples - produced;
            }
        }
    } else {
        position += samples;
        if (granule != -1 && position != granule) {
            if (position > granule && endOfStream)
                produced -= std::min(position - granule, produced);
            position = granule;
        }
    }
    if (trimmedStart > 0) {
        if (played == 0 && samples > 0)
            startTrim = trimmedStart;
        else
            trimmedLater = true;
    }
    if (marks)
        marks->append({oggPacketKey(packetStart, packetSize), playedBefore + played - trimmedStart, int(samples),
                       number, packetPage, packetSegment});
    played += produced;
}

enum class PageCheck
{
    Decisive,          // only the pages the length rests on
    EverySkippingBad,  // every page; a damaged one is skipped
    EveryStoppingAtBad // every page; the walk ends at the first damage
};

struct Walk
{
    QList<LogicalStream> streams;
    bool trusted = true;
    qint64 damagedAt = -1;
};

// Decisive pages are each stream's headers and the first and last page with a granule position, and a damaged one
// of those leaves the walk untrusted: an hour of audio is then not read byte by byte for nothing.
Walk walkPages(QByteArrayView data, PageCheck check, QList<OggPacketMark> *marks = nullptr)
{
    Walk walk;
    if (marks)
        marks->clear();
    QList<LogicalStream> &streams = walk.streams;
    QList<QByteArrayView> lastPages;
    const bool checkAll = check != PageCheck::Decisive;
    const bool stopAtBad = check == PageCheck::EveryStoppingAtBad;
    const auto damage = [&](qint64 at) {
        walk.damagedAt = at;
        return walk;
    };
    qint64 at = 0;
    while (at + pageHeaderSize <= data.size()) {
        if (data.sliced(at, 4) != QByteArrayView("OggS") || data[at + 4] != 0) {
            if (stopAtBad)
                return damage(at);
            const qint64 next = data.indexOf(QByteArrayView("OggS"), at + 1);
            if (next < 0)
                break;
            at = next;
            continue;
        }
        const int segments = quint8(data[at + 26]);
        if (at + pageHeaderSize + segments > data.size())
            break;
        qint64 bodySize = 0;
        int lastPacketEnd = -1;
        for (int i = 0; i < segments; ++i) {
            const int lacing = quint8(data[at + pageHeaderSize + i]);
            bodySize += lacing;
            if (lacing < 255)
                lastPacketEnd = i;
        }
        const qint64 pageSize = pageHeaderSize + segments + bodySize;
        if (at + pageSize > data.size())
            break;
        const QByteArrayView page = data.sliced(at, pageSize);
        const quint8 flags = quint8(page[5]);
        const quint32 serial = littleEndian32(page, 14);
        auto stream =
            std::find_if(streams.rbegin(), streams.rend(), [&](const LogicalStream &s) { return s.serial == serial; });
        const bool decisive = (flags & 0x02) || stream == streams.rend() || stream->position < 0;
        if ((checkAll || decisive) && oggPageCrc(page) != littleEndian32(page, 22)) {
            if (stopAtBad)
                return damage(at);
            if (!checkAll) {
                walk.trusted = false;
                return walk;
            }
            at += 1; // a damaged page is skipped, as decoders skip it
            continue;
        }
        // A page missing from a piece leaves a hole the decoder plays over.
        const quint32 sequence = littleEndian32(page, 18);
        if (stopAtBad && !(flags & 0x02) && stream != streams.rend() && sequence != stream->nextSequence)
            return damage(at);
        at += pageSize;

        const qint64 granule = littleEndian64(page, 6);
        const QByteArrayView body = page.sliced(pageHeaderSize + segments);
        if (flags & 0x02) {
            LogicalStream fresh;
            fresh.serial = serial;
            if (body.size() >= 30 && body[0] == 1 && body.sliced(1, 6) == QByteArrayView("vorbis")) {
                fresh.vorbis = true;
                fresh.sampleRate = int(littleEndian32(body, 12));
                fresh.shortBlock = 1 << (quint8(body[28]) & 0x0F);
                fresh.longBlock = 1 << (quint8(body[28]) >> 4);
            }
            for (const LogicalStream &earlier : std::as_const(streams))
                fresh.playedBefore += earlier.played;
            fresh.marks = marks;
            fresh.number = int(streams.size());
            streams.append(fresh);
            lastPages.append(QByteArrayView());
            stream = streams.rbegin();
        }
        if (stream == streams.rend())
            continue;
        stream->nextSequence = sequence + 1;
        if (!stream->vorbis)
            continue;

        // The granule position and the end of the stream belong to the last packet that ends on the page. A packet
        // torn by a lost page is dropped, as libogg drops it.
        qint64 offset = 0;
        bool skipping = (flags & 0x01) && !stream->inPacket;
        if (!(flags & 0x01) && stream->inPacket) {
            stream->inPacket = false;
            stream->setup.clear();
        }
        qint64 packetStart = 0;
        for (int i = 0; i < segments; ++i) {
            const int lacing = quint8(page[pageHeaderSize + i]);
            if (skipping) {
                offset += lacing;
                skipping = lacing == 255;
                continue;
            }
            if (!stream->inPacket) {
                stream->inPacket = true;
                stream->packetFirstByte = lacing > 0 ? quint8(body[offset]) : -1;
                stream->packetStart = body.sliced(offset, std::min(lacing, 32));
                stream->packetPage = at - pageSize;
                stream->packetSegment = i;
                stream->packetSize = 0;
                packetStart = offset;
            }
            offset += lacing;
            stream->packetSize += lacing;
            if (lacing == 255)
                continue;
            stream->inPacket = false;
            const bool last = i == lastPacketEnd;
            stream->packetDone(body, packetStart, offset, last ? granule : -1, last && (flags & 0x04));
        }
        if (stream->inPacket && stream->headerPackets == 2)
            stream->setup += body.sliced(packetStart, offset - packetStart);

        if (granule != -1 && stream->position >= 0)
            lastPages[streams.rend() - stream - 1] = page;
    }
    if (stopAtBad && at < data.size())
        return damage(at);
    if (!checkAll) {
        walk.trusted = std::all_of(lastPages.cbegin(), lastPages.cend(), [](QByteArrayView page) {
            return page.isEmpty() || oggPageCrc(page) == littleEndian32(page, 22);
        });
    }
    return walk;
}

std::optional<OggVorbisLength> lengthOf(const QList<LogicalStream> &streams)
{
    std::optional<OggVorbisLength> length;
    for (const LogicalStream &stream : streams) {
        if (!stream.decodable() || stream.sampleRate <= 0)
            continue;
        if (!length)
            length = OggVorbisLength{0, stream.sampleRate, stream.longBlock};
        length->samples += stream.played;
        length->longBlock = std::max(length->longBlock, stream.longBlock);
    }
    return length;
}

} // namespace

std::optional<QByteArray> oggPacketAt(QByteArrayView data, const OggPacketMark &mark)
{
    QByteArray packet;
    quint32 serial = 0;
    int segment = mark.segment;
    for (qint64 at = mark.page; at + pageHeaderSize <= data.size();) {
        if (data.sliced(at, 4) != QByteArrayView("OggS"))
            return std::nullopt;
        const int segments = quint8(data[at + 26]);
        qint64 body = at + pageHeaderSize + segments, size = 0;
        for (int i = 0; i < segments && at + pageHeaderSize + segments <= data.size(); ++i)
            size += quint8(data[at + pageHeaderSize + i]);
        if (body + size > data.size() || oggPageCrc(data.sliced(at, body + size - at)) != littleEndian32(data, at + 22))
            return std::nullopt;
        const quint32 pageSerial = littleEndian32(data, at + 14);
        if (at != mark.page && pageSerial != serial) {
            at = body + size; // a page of another stream between the two halves
            continue;
        }
        if (at != mark.page && !(data[at + 5] & 0x01))
            return std::nullopt;
        serial = pageSerial;
        for (int i = 0; i < segments; ++i) {
            const int lacing = quint8(data[at + pageHeaderSize + i]);
            if (i >= segment) {
                packet += data.sliced(body, lacing);
                if (lacing < 255)
                    return packet;
            }
            body += lacing;
        }
        segment = 0;
        at = body;
    }
    return std::nullopt;
}

quint32 oggPageCrc(QByteArrayView page)
{
    static const PageCrc crc;
    return crc.ofPage(page);
}

std::optional<OggVorbisLength> measureOggVorbis(QByteArrayView data, QList<OggPacketMark> *marks)
{
    Walk walk = walkPages(data, PageCheck::Decisive, marks);
    if (!walk.trusted)
        walk = walkPages(data, PageCheck::EverySkippingBad, marks);
    return lengthOf(walk.streams);
}

OggVorbisAlbum indexOggVorbisFile(const QString &path)
{
    OggVorbisAlbum album;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() == 0)
        return album;
    QByteArray read;
    const uchar *mapped = file.map(0, file.size());
    if (!mapped)
        read = file.readAll();
    album.length =
        measureOggVorbis(mapped ? QByteArrayView(mapped, file.size()) : QByteArrayView(read), &album.packets);
    return album;
}

OggVorbisPiece inspectOggVorbisPiece(QByteArrayView data)
{
    const Walk walk = walkPages(data, PageCheck::EveryStoppingAtBad);
    if (walk.damagedAt >= 0)
        return {std::nullopt, walk.damagedAt};
    OggVorbisPiece piece{lengthOf(walk.streams), -1};
    if (walk.streams.size() == 1 && walk.streams.front().decodable()) {
        piece.startTrim = walk.streams.front().startTrim;
        piece.holes = walk.streams.front().trimmedLater;
    }
    return piece;
}

OggVorbisPiece inspectOggVorbisFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() == 0)
        return {};
    QByteArray read;
    const uchar *mapped = file.map(0, file.size());
    if (!mapped)
        read = file.readAll();
    return inspectOggVorbisPiece(mapped ? QByteArrayView(mapped, file.size()) : QByteArrayView(read));
}

} // namespace velvane
