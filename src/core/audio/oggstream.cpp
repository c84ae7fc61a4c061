#include "core/audio/oggstream.h"

#include "core/audio/filebytes.h"

#include <QHashFunctions>
#include <QList>
#include <QtEndian>

#include <algorithm>
#include <bit>

namespace velvane {

// The block size of each packet comes from its mode, and the modes stand at the end of the setup header, after
// codebooks, floors and residues that would take a decoder to read. Read backwards, they are recognisable: the
// framing bit, before it each mode's 41 bits with 32 of them zero, and before those the count less one in 6 bits.
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
    if (marks) {
        marks->clear();
        marks->reserve(data.size() / 128); // more packets than Vorbis has at its usual rates: the list never moves
    }
    QList<LogicalStream> &streams = walk.streams;
    QList<std::optional<OggPage>> lastPages;
    const bool checkAll = check != PageCheck::Decisive;
    const bool stopAtBad = check == PageCheck::EveryStoppingAtBad;
    const auto damage = [&](qint64 at) {
        walk.damagedAt = at;
        return walk;
    };
    qint64 at = 0;
    while (at + oggPageHeaderSize <= data.size()) {
        if (!oggPageBeginsAt(data, at)) {
            if (stopAtBad)
                return damage(at);
            const qint64 next = data.indexOf(QByteArrayView("OggS"), at + 1);
            if (next < 0)
                break;
            at = next;
            continue;
        }
        const std::optional<OggPage> read = readOggPage(data, at);
        if (!read)
            break;
        const OggPage &page = *read;
        const int segments = int(page.lacing.size());
        int lastPacketEnd = -1;
        for (int i = 0; i < segments; ++i) {
            if (quint8(page.lacing[i]) < 255)
                lastPacketEnd = i;
        }
        const quint8 flags = page.flags;
        const quint32 serial = page.serial;
        auto stream =
            std::find_if(streams.rbegin(), streams.rend(), [&](const LogicalStream &s) { return s.serial == serial; });
        const bool decisive = (flags & oggFirstPage) || stream == streams.rend() || stream->position < 0;
        if ((checkAll || decisive) && !page.crcHolds()) {
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
        const quint32 sequence = page.sequence;
        if (stopAtBad && !(flags & oggFirstPage) && stream != streams.rend() && sequence != stream->nextSequence)
            return damage(at);
        at = page.end();

        const qint64 granule = page.granule;
        const QByteArrayView body = page.body;
        if (flags & oggFirstPage) {
            LogicalStream fresh;
            fresh.serial = serial;
            if (body.size() >= 30 && body[0] == 1 && body.sliced(1, 6) == QByteArrayView("vorbis")) {
                fresh.vorbis = true;
                fresh.sampleRate = int(qFromLittleEndian<quint32>(body.data() + 12));
                fresh.shortBlock = 1 << (quint8(body[28]) & 0x0F);
                fresh.longBlock = 1 << (quint8(body[28]) >> 4);
            }
            for (const LogicalStream &earlier : std::as_const(streams))
                fresh.playedBefore += earlier.played;
            fresh.marks = marks;
            fresh.number = int(streams.size());
            streams.append(fresh);
            lastPages.append(std::nullopt);
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
        bool skipping = (flags & oggContinuedPacket) && !stream->inPacket;
        if (!(flags & oggContinuedPacket) && stream->inPacket) {
            stream->inPacket = false;
            stream->setup.clear();
        }
        qint64 packetStart = 0;
        for (int i = 0; i < segments; ++i) {
            const int lacing = quint8(page.lacing[i]);
            if (skipping) {
                offset += lacing;
                skipping = lacing == 255;
                continue;
            }
            if (!stream->inPacket) {
                stream->inPacket = true;
                stream->packetFirstByte = lacing > 0 ? quint8(body[offset]) : -1;
                stream->packetStart = body.sliced(offset, std::min(lacing, 32));
                stream->packetPage = page.offset;
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
            stream->packetDone(body, packetStart, offset, last ? granule : -1, last && (flags & oggLastPage));
        }
        if (stream->inPacket && stream->headerPackets == 2)
            stream->setup += body.sliced(packetStart, offset - packetStart);

        if (granule != -1 && stream->position >= 0)
            lastPages[streams.rend() - stream - 1] = page;
    }
    if (stopAtBad && at < data.size())
        return damage(at);
    if (!checkAll) {
        walk.trusted = std::all_of(lastPages.cbegin(), lastPages.cend(),
                                   [](const std::optional<OggPage> &page) { return !page || page->crcHolds(); });
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
    for (qint64 at = mark.page; at + oggPageHeaderSize <= data.size();) {
        const std::optional<OggPage> page = readOggPage(data, at);
        if (!page || !page->crcHolds())
            return std::nullopt;
        at = page->end();
        if (page->offset != mark.page && page->serial != serial)
            continue; // a page of another stream between the two halves
        if (page->offset != mark.page && !(page->flags & oggContinuedPacket))
            return std::nullopt;
        serial = page->serial;
        qint64 body = 0;
        for (int i = 0; i < page->lacing.size(); ++i) {
            const int lacing = quint8(page->lacing[i]);
            if (i >= segment) {
                packet += page->body.sliced(body, lacing);
                if (lacing < 255)
                    return packet;
            }
            body += lacing;
        }
        segment = 0;
    }
    return std::nullopt;
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
    const FileBytes file(path);
    if (!file.isEmpty())
        album.length = measureOggVorbis(file.data(), &album.packets);
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
    const FileBytes file(path);
    if (file.isEmpty())
        return {};
    return inspectOggVorbisPiece(file.data());
}

} // namespace velvane
