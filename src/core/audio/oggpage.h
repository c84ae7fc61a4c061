#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <optional>

namespace velvane {

inline constexpr qint64 oggPageHeaderSize = 27;

// The header's flags.
inline constexpr quint8 oggContinuedPacket = 0x01;
inline constexpr quint8 oggFirstPage = 0x02;
inline constexpr quint8 oggLastPage = 0x04;

// One page of an Ogg file, as views into the bytes it was read from.
struct OggPage
{
    qint64 offset = 0;
    quint8 flags = 0;
    qint64 granule = -1;
    quint32 serial = 0;
    quint32 sequence = 0;
    quint32 crc = 0; // as the header gives it
    QByteArrayView lacing;
    QByteArrayView body;

    [[nodiscard]] qint64 bodyOffset() const { return offset + oggPageHeaderSize + lacing.size(); }
    [[nodiscard]] qint64 end() const { return bodyOffset() + body.size(); }
    [[nodiscard]] qint64 size() const { return end() - offset; }
    // The whole page: its header starts right before its lacing values.
    [[nodiscard]] QByteArrayView bytes() const { return {lacing.data() - oggPageHeaderSize, size()}; }
    [[nodiscard]] bool crcHolds() const;
};

// Whether the capture pattern of a page (of the one version there is) stands at offset.
[[nodiscard]] bool oggPageBeginsAt(QByteArrayView data, qint64 offset);

// The page at offset; nothing when no page begins there or it runs past the end of the data.
[[nodiscard]] std::optional<OggPage> readOggPage(QByteArrayView data, qint64 offset);

// Ogg's page checksum, over the page with its own CRC field taken as zero.
[[nodiscard]] quint32 oggPageCrc(QByteArrayView page);

// A page put together behind what `out` holds, its checksum included.
void appendOggPage(QByteArray &out, quint8 flags, qint64 granule, quint32 serial, quint32 sequence,
                   QByteArrayView lacing, QByteArrayView body);

} // namespace velvane
