#include "components/oggstream.h"

#include <QList>

#include <algorithm>
#include <array>

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

quint32 pageCrc(QByteArrayView page)
{
    static const PageCrc crc;
    return crc.ofPage(page);
}

struct LogicalStream
{
    quint32 serial = 0;
    bool vorbis = false;
    int sampleRate = 0;
    int longBlock = 0;
    int headerPackets = 0;
    qint64 audioPackets = 0;
    qint64 firstGranule = -1;
    qint64 packetsAtFirstGranule = 0;
    qint64 lastGranule = -1;

    [[nodiscard]] qint64 samples() const
    {
        if (lastGranule < 0)
            return 0;
        // The first audio packet gives no samples and each later one at most half a long block. A first
        // granule beyond that means the stream's count starts later than zero; one below it trims the start,
        // which the granule positions already leave out.
        const qint64 decodable = (packetsAtFirstGranule - 1) * (longBlock / 2);
        const qint64 start = std::max<qint64>(0, firstGranule - decodable);
        return std::max<qint64>(0, lastGranule - start);
    }
};

} // namespace

namespace {

struct Walk
{
    QList<LogicalStream> streams;
    bool trusted = true;
};

// Every page's CRC is checked when checkAll is set, and a damaged page skipped as decoders skip it. Otherwise only
// the pages the length rests on are checked (each stream's headers, its first and its last granule), and a damaged
// one of those leaves the walk untrusted: an hour of audio is then not read byte by byte for nothing.
Walk walkPages(QByteArrayView data, bool checkAll)
{
    Walk walk;
    QList<LogicalStream> &streams = walk.streams;
    QList<QByteArrayView> lastPages;
    qint64 at = 0;
    while (at + pageHeaderSize <= data.size()) {
        if (data.sliced(at, 4) != QByteArrayView("OggS") || data[at + 4] != 0) {
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
        int completedPackets = 0;
        for (int i = 0; i < segments; ++i) {
            const int lacing = quint8(data[at + pageHeaderSize + i]);
            bodySize += lacing;
            completedPackets += lacing < 255 ? 1 : 0;
        }
        const qint64 pageSize = pageHeaderSize + segments + bodySize;
        if (at + pageSize > data.size())
            break;
        const QByteArrayView page = data.sliced(at, pageSize);
        const quint8 flags = quint8(page[5]);
        const quint32 serial = littleEndian32(page, 14);
        auto stream =
            std::find_if(streams.rbegin(), streams.rend(), [&](const LogicalStream &s) { return s.serial == serial; });
        const bool decisive = (flags & 0x02) || stream == streams.rend() || stream->firstGranule < 0;
        if ((checkAll || decisive) && pageCrc(page) != littleEndian32(page, 22)) {
            if (!checkAll) {
                walk.trusted = false;
                return walk;
            }
            at += 1; // a damaged page is skipped, as decoders skip it
            continue;
        }
        at += pageSize;

        const qint64 granule = littleEndian64(page, 6);
        const QByteArrayView body = page.sliced(pageHeaderSize + segments);
        if (flags & 0x02) {
            LogicalStream fresh;
            fresh.serial = serial;
            if (body.size() >= 30 && body[0] == 1 && body.sliced(1, 6) == QByteArrayView("vorbis")) {
                fresh.vorbis = true;
                fresh.sampleRate = int(littleEndian32(body, 12));
                fresh.longBlock = 1 << (quint8(body[28]) >> 4);
            }
            streams.append(fresh);
            lastPages.append(QByteArrayView());
            stream = streams.rbegin();
        }
        if (stream == streams.rend() || !stream->vorbis)
            continue;
        const int headers = std::min(3 - stream->headerPackets, completedPackets);
        stream->headerPackets += headers;
        stream->audioPackets += completedPackets - headers;
        if (granule == -1 || stream->audioPackets == 0)
            continue;
        if (stream->firstGranule < 0) {
            stream->firstGranule = granule;
            stream->packetsAtFirstGranule = stream->audioPackets;
        }
        stream->lastGranule = granule;
        lastPages[streams.rend() - stream - 1] = page;
    }
    if (!checkAll) {
        walk.trusted = std::all_of(lastPages.cbegin(), lastPages.cend(), [](QByteArrayView page) {
            return page.isEmpty() || pageCrc(page) == littleEndian32(page, 22);
        });
    }
    return walk;
}

} // namespace

std::optional<OggVorbisLength> measureOggVorbis(QByteArrayView data)
{
    Walk walk = walkPages(data, false);
    if (!walk.trusted)
        walk = walkPages(data, true);
    const QList<LogicalStream> &streams = walk.streams;

    std::optional<OggVorbisLength> length;
    for (const LogicalStream &stream : std::as_const(streams)) {
        if (!stream.vorbis || stream.sampleRate <= 0)
            continue;
        if (!length)
            length = OggVorbisLength{0, stream.sampleRate, stream.longBlock};
        length->samples += stream.samples();
        length->longBlock = std::max(length->longBlock, stream.longBlock);
    }
    return length;
}

} // namespace velvane
