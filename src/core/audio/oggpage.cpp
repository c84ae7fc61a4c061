#include "core/audio/oggpage.h"

#include "core/audio/crcfold.h"

#include <QtEndian>

#include <array>
#include <cstring>

namespace velvane {

namespace {

// Ogg's CRC-32: polynomial 0x04C11DB7, not reflected, over the page with its CRC field taken as zero. Every page of
// an album and of each piece goes through it, so long runs are folded by carry-less multiplication where the
// processor can, and the rest goes through tables eight bytes at a time.
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
        const FoldedCrc folded = foldCrc32(crc, p, n);
        crc = folded.crc;
        p += folded.consumed;
        n -= folded.consumed;
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

} // namespace

bool OggPage::crcHolds() const
{
    return oggPageCrc(bytes()) == crc;
}

bool oggPageBeginsAt(QByteArrayView data, qint64 offset)
{
    return offset >= 0 && offset + 5 <= data.size() && data.sliced(offset, 4) == QByteArrayView("OggS") &&
           data[offset + 4] == 0;
}

std::optional<OggPage> readOggPage(QByteArrayView data, qint64 offset)
{
    if (!oggPageBeginsAt(data, offset) || offset + oggPageHeaderSize > data.size())
        return std::nullopt;
    const int segments = quint8(data[offset + 26]);
    if (offset + oggPageHeaderSize + segments > data.size())
        return std::nullopt;
    const QByteArrayView lacing = data.sliced(offset + oggPageHeaderSize, segments);
    qint64 bodySize = 0;
    for (const char value : lacing)
        bodySize += quint8(value);
    if (offset + oggPageHeaderSize + segments + bodySize > data.size())
        return std::nullopt;
    const char *header = data.data() + offset;
    return OggPage{offset,
                   quint8(header[5]),
                   qFromLittleEndian<qint64>(header + 6),
                   qFromLittleEndian<quint32>(header + 14),
                   qFromLittleEndian<quint32>(header + 18),
                   qFromLittleEndian<quint32>(header + 22),
                   lacing,
                   data.sliced(offset + oggPageHeaderSize + segments, bodySize)};
}

quint32 oggPageCrc(QByteArrayView page)
{
    static const PageCrc crc;
    return crc.ofPage(page);
}

void appendOggPage(QByteArray &out, quint8 flags, qint64 granule, quint32 serial, quint32 sequence,
                   QByteArrayView lacing, QByteArrayView body)
{
    const qsizetype at = out.size();
    out.resize(at + oggPageHeaderSize);
    char *header = out.data() + at;
    std::memcpy(header, "OggS\0", 5);
    header[5] = char(flags);
    qToLittleEndian<qint64>(granule, header + 6);
    qToLittleEndian<quint32>(serial, header + 14);
    qToLittleEndian<quint32>(sequence, header + 18);
    qToLittleEndian<quint32>(0, header + 22);
    header[26] = char(lacing.size());
    out += lacing;
    out += body;
    qToLittleEndian<quint32>(oggPageCrc(QByteArrayView(out).sliced(at)), out.data() + at + 22);
}

} // namespace velvane
