#include "core/audio/oggpiece.h"

#include <QList>

#include <bit>

namespace velvane {

namespace {

// Pages of about this much audio, as encoders write them.
constexpr qint64 pageBodyTarget = 4096;

struct ParsedPiece
{
    QByteArrayView headers; // every page up to the end of the setup header, kept as they are
    quint32 serial = 0;
    quint32 nextSequence = 0;
    QList<QByteArrayView> packets; // audio: into the piece, or into spanning where a packet spans pages
    QList<QByteArray> spanning;
    QList<int> samples; // each audio packet's, before any trim
    QList<quint64> keys;
};

std::optional<ParsedPiece> parsePiece(QByteArrayView data)
{
    ParsedPiece piece;
    QList<QByteArray> headerPackets;
    QByteArray partial;
    qint64 packetBegin = -1; // in data, while the packet at hand lies on one page
    int shortBlock = 0, longBlock = 0, previousBlock = 0, modeBits = 0;
    QList<bool> longModes;
    for (qint64 at = 0; at < data.size();) {
        const std::optional<OggPage> page = readOggPage(data, at);
        if (!page)
            return std::nullopt;
        if ((at == 0) != bool(page->flags & oggFirstPage) || (at > 0 && page->serial != piece.serial))
            return std::nullopt; // one stream only
        piece.serial = page->serial;
        const int segments = int(page->lacing.size());
        qint64 body = page->bodyOffset();
        for (int i = 0; i < segments; ++i) {
            const int lacing = quint8(page->lacing[i]);
            if (partial.isEmpty() && packetBegin < 0)
                packetBegin = body;
            else if (packetBegin < 0)
                partial += data.sliced(body, lacing);
            body += lacing;
            if (lacing == 255)
                continue;
            QByteArrayView packet;
            if (packetBegin >= 0) {
                packet = data.sliced(packetBegin, body - packetBegin);
            } else {
                piece.spanning.append(std::exchange(partial, QByteArray()));
                packet = piece.spanning.back();
            }
            packetBegin = -1;
            if (headerPackets.size() < 3) {
                headerPackets.append(packet.toByteArray());
                if (headerPackets.size() < 3)
                    continue;
                // The first audio packet must begin a page of its own, after the headers.
                if (i + 1 != segments || headerPackets[0].size() < 30)
                    return std::nullopt;
                shortBlock = 1 << (quint8(headerPackets[0][28]) & 0x0F);
                longBlock = 1 << (quint8(headerPackets[0][28]) >> 4);
                const auto modes = vorbisModeBlockFlags(headerPackets[2]);
                if (!modes)
                    return std::nullopt;
                longModes = *modes;
                modeBits = int(std::bit_width(quint32(longModes.size() - 1)));
                piece.headers = data.first(body);
                piece.nextSequence = page->sequence + 1;
                continue;
            }
            if (packet.isEmpty() || (packet[0] & 1))
                return std::nullopt;
            const int mode = (quint8(packet[0]) >> 1) & ((1 << modeBits) - 1);
            if (mode >= longModes.size())
                return std::nullopt;
            const int block = longModes[mode] ? longBlock : shortBlock;
            piece.samples.append(previousBlock > 0 ? previousBlock / 4 + block / 4 : 0);
            previousBlock = block;
            piece.packets.append(packet);
            piece.keys.append(oggPacketKey(packet, packet.size()));
        }
        // A packet that goes on over the next page is gathered from the pages' bodies.
        if (packetBegin >= 0) {
            partial = data.sliced(packetBegin, body - packetBegin).toByteArray();
            packetBegin = -1;
        }
        at = body;
    }
    if (piece.packets.size() < 2)
        return std::nullopt;
    return piece;
}

bool matchesAt(const ParsedPiece &piece, const QList<OggPacketMark> &marks, qsizetype first)
{
    if (first < 0 || first + piece.packets.size() > marks.size())
        return false;
    for (qsizetype k = 0; k < piece.packets.size(); ++k) {
        const OggPacketMark &mark = marks[first + k];
        if (mark.key != piece.keys[k] || (k > 0 && mark.samples != piece.samples[k]))
            return false;
    }
    return true;
}

std::optional<qsizetype> firstPacketOf(const ParsedPiece &piece, const QList<OggPacketMark> &marks,
                                       qint64 expectedStart)
{
    // Silence makes packets alike, so the match nearest the expected place is taken.
    const qsizetype near =
        std::lower_bound(marks.cbegin(), marks.cend(), expectedStart,
                         [](const OggPacketMark &mark, qint64 sample) { return mark.start < sample; }) -
        marks.cbegin();
    constexpr qsizetype window = 2048;
    for (qsizetype distance = 0; distance <= window; ++distance) {
        for (const qsizetype first : {near - 1 - distance, near - 1 + distance + 1}) {
            if (matchesAt(piece, marks, first))
                return first;
        }
    }
    return std::nullopt;
}

struct Packet
{
    QByteArrayView data; // in the piece, or in the album's packets fetched for it
    qint64 granule = -1; // once it ends
};

// Lays packets out on pages behind `out`, breaking a page after each packet marked so and after a packet that fills
// the page to about pageBodyTarget; the last page ends the stream.
void appendPages(QByteArray &out, const QList<Packet> &packets, const QList<bool> &breakAfter, quint32 serial,
                 quint32 sequence)
{
    QByteArray lacing, body;
    body.reserve(pageBodyTarget + 255 * 255);
    qint64 granule = -1;
    bool continued = false;
    const auto flush = [&](bool last) {
        const quint8 flags = (continued ? oggContinuedPacket : 0) | (last ? oggLastPage : 0);
        appendOggPage(out, flags, granule, serial, sequence++, lacing, body);
        continued = !lacing.isEmpty() && quint8(lacing.back()) == 255;
        lacing.clear();
        body.clear();
        granule = -1;
    };
    for (qsizetype p = 0; p < packets.size(); ++p) {
        const QByteArrayView data = packets[p].data;
        for (qint64 at = 0;; at += 255) {
            if (lacing.size() == 255)
                flush(false);
            const qint64 length = std::min<qint64>(255, data.size() - at);
            lacing += char(length);
            body += data.sliced(at, length);
            if (length < 255)
                break;
        }
        granule = packets[p].granule;
        const bool last = p + 1 == packets.size();
        if (last || breakAfter[p] || body.size() >= pageBodyTarget)
            flush(last);
    }
}

} // namespace

std::optional<OggPiecePlace> placeOggPiece(QByteArrayView data, const OggVorbisAlbum &album, qint64 expectedStart)
{
    const auto piece = parsePiece(data);
    if (!piece)
        return std::nullopt;
    const auto first = firstPacketOf(*piece, album.packets, expectedStart);
    if (!first)
        return std::nullopt;
    return OggPiecePlace{*first, album.packets[*first + 1].start};
}

std::optional<QByteArray> rebuildOggPiece(QByteArrayView data, QByteArrayView albumData, const OggVorbisAlbum &album,
                                          const OggPiecePlace &place, qint64 from, qint64 to)
{
    const auto piece = parsePiece(data);
    const QList<OggPacketMark> &marks = album.packets;
    if (!piece || !matchesAt(*piece, marks, place.firstPacket) || to <= from)
        return std::nullopt;
    // In album packets: the one whose samples hold `from` is played after the one before it, which only primes the
    // decoder; the closing one reaches `to`. All of one stream.
    const int stream = marks[place.firstPacket].stream;
    const auto holds = [&](qsizetype a, qint64 sample) {
        return marks[a].start <= sample && sample < marks[a].start + marks[a].samples;
    };
    qsizetype opening = place.firstPacket + 1;
    while (opening > 1 && marks[opening - 1].stream == stream && marks[opening].start > from)
        --opening;
    while (opening < marks.size() && marks[opening].stream == stream && !holds(opening, from))
        ++opening;
    qsizetype closing = opening + 1;
    while (closing < marks.size() && marks[closing].stream == stream &&
           marks[closing].start + marks[closing].samples < to)
        ++closing;
    // The decoder trims the start from the first page's last packet only, and the end from the last packet only.
    if (opening >= marks.size() || !holds(opening, from) || marks[opening - 1].stream != stream ||
        closing >= marks.size() || marks[closing].stream != stream || marks[closing].start >= to)
        return std::nullopt;

    // The splitter's packets where the piece has them; the album's, each page checked, where it lacks them.
    // The views below stay valid as this list grows: a moved QByteArray keeps its bytes where they are.
    QList<QByteArray> fetched;
    const auto packetAt = [&](qsizetype a) -> std::optional<QByteArrayView> {
        const qsizetype k = a - place.firstPacket;
        if (k >= 0 && k < piece->packets.size())
            return piece->packets[k];
        auto packet = oggPacketAt(albumData, marks[a]);
        if (!packet)
            return std::nullopt;
        fetched.append(std::move(*packet));
        return QByteArrayView(fetched.back());
    };
    QList<Packet> packets;
    QList<bool> breakAfter;
    qint64 granule = marks[opening].samples - (from - marks[opening].start);
    qint64 bytes = 0;
    for (qsizetype a = opening - 1; a <= closing; ++a) {
        const auto packet = packetAt(a);
        if (!packet)
            return std::nullopt;
        if (a > opening)
            granule += marks[a].samples;
        packets.append({*packet, a < opening ? -1 : a == closing ? to - from : granule});
        breakAfter.append(a == opening);
        bytes += packet->size();
    }
    // Pages of about pageBodyTarget bytes, each with its header and about a lacing value for 255 bytes.
    QByteArray out;
    out.reserve(piece->headers.size() + bytes + bytes / 255 + packets.size() + (bytes / pageBodyTarget + 2) * 300);
    out += piece->headers;
    appendPages(out, packets, breakAfter, piece->serial, piece->nextSequence);
    return out;
}

} // namespace velvane
