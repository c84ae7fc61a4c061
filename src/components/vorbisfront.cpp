#include "components/vorbisfront.h"

#include <QFile>
#include <QList>
#include <QtEndian>

#include <taglib/xiphcomment.h>

#include <array>

using namespace Qt::StringLiterals;

namespace velvane {

namespace {

constexpr qint64 pageHeaderSize = 27;
constexpr int maxHeaderPages = 64;

struct Page
{
    qint64 offset = 0;
    quint8 flags = 0;
    quint32 serial = 0;
    quint32 sequence = 0;
    QByteArray lacing;
    QByteArray body;

    [[nodiscard]] qint64 end() const { return offset + pageHeaderSize + lacing.size() + body.size(); }
};

std::optional<Page> readPage(QFile &file, qint64 offset)
{
    file.seek(offset);
    const QByteArray header = file.read(pageHeaderSize);
    if (header.size() < pageHeaderSize || !header.startsWith("OggS") || header[4] != 0)
        return std::nullopt;
    Page page{offset,
              quint8(header[5]),
              qFromLittleEndian<quint32>(header.constData() + 14),
              qFromLittleEndian<quint32>(header.constData() + 18),
              file.read(uchar(header[26])),
              {}};
    qint64 bodySize = 0;
    for (const char value : page.lacing)
        bodySize += uchar(value);
    page.body = file.read(bodySize);
    if (page.lacing.size() != uchar(header[26]) || page.body.size() != bodySize)
        return std::nullopt;
    return page;
}

struct VorbisHeaders
{
    QByteArray identificationPage; // kept as it is
    quint32 serial = 0;
    QByteArray comment;
    QByteArray setup;
    int pages = 0;  // after the identification page, up to the end of the setup packet
    qint64 end = 0; // where the audio pages begin
};

std::optional<VorbisHeaders> readHeaders(QFile &file)
{
    const auto first = readPage(file, 0);
    // The identification header is alone on the first page, as Vorbis requires.
    if (!first || !(first->flags & 0x02) || first->lacing.isEmpty() || uchar(first->lacing.back()) == 255 ||
        !first->body.startsWith("\x01vorbis"))
        return std::nullopt;
    VorbisHeaders headers;
    file.seek(0);
    headers.identificationPage = file.read(first->end());
    headers.serial = first->serial;

    QList<QByteArray> packets;
    QByteArray partial;
    qint64 offset = first->end();
    while (packets.size() < 2) {
        const auto page = readPage(file, offset);
        if (!page || ++headers.pages > maxHeaderPages || page->serial != headers.serial ||
            page->sequence != quint32(headers.pages) || bool(page->flags & 0x01) != !partial.isEmpty())
            return std::nullopt;
        qint64 at = 0;
        for (qsizetype i = 0; i < page->lacing.size(); ++i) {
            // Audio sharing the setup header's page would need its page rebuilt too.
            if (packets.size() == 2)
                return std::nullopt;
            const int length = uchar(page->lacing[i]);
            partial += page->body.mid(at, length);
            at += length;
            if (length < 255)
                packets.append(std::exchange(partial, QByteArray()));
        }
        offset = page->end();
    }
    headers.comment = packets[0];
    headers.setup = packets[1];
    headers.end = offset;
    if (!headers.comment.startsWith("\x03vorbis") || !headers.setup.startsWith("\x05vorbis"))
        return std::nullopt;
    return headers;
}

quint32 oggChecksum(const QByteArray &page)
{
    static const std::array<quint32, 256> table = [] {
        std::array<quint32, 256> values{};
        for (quint32 i = 0; i < 256; ++i) {
            quint32 value = i << 24;
            for (int bit = 0; bit < 8; ++bit)
                value = value & 0x80000000u ? (value << 1) ^ 0x04c11db7u : value << 1;
            values[i] = value;
        }
        return values;
    }();
    quint32 crc = 0;
    for (const char byte : page)
        crc = (crc << 8) ^ table[((crc >> 24) ^ uchar(byte)) & 0xff];
    return crc;
}

qint64 lacingValues(qint64 packetSize)
{
    return packetSize / 255 + 1;
}

// The comment and setup packets laced over exactly `pages` pages, numbered on from the identification page.
std::optional<QByteArray> buildPages(const VorbisHeaders &headers, const QByteArray &comment)
{
    QByteArray lacing;
    for (const qsizetype size : {comment.size(), headers.setup.size()}) {
        lacing += QByteArray(size / 255, char(255));
        lacing += char(size % 255);
    }
    const qint64 values = lacing.size();
    const int pages = headers.pages;
    if (values < pages || values > 255 * qint64(pages))
        return std::nullopt;
    const QByteArray data = comment + headers.setup;
    QByteArray out = headers.identificationPage;
    qint64 used = 0, at = 0;
    bool continued = false;
    for (int p = 0; p < pages; ++p) {
        const qint64 count = values * (p + 1) / pages - values * p / pages;
        const QByteArray pageLacing = lacing.mid(used, count);
        qint64 bodySize = 0;
        bool packetEnds = false;
        for (const char value : pageLacing) {
            bodySize += uchar(value);
            packetEnds = packetEnds || uchar(value) < 255;
        }
        QByteArray page(pageHeaderSize, '\0');
        page.replace(0, 4, "OggS");
        page[5] = continued ? 0x01 : 0x00;
        // Header pages carry granule 0; a page on which no packet ends carries -1.
        qToLittleEndian<qint64>(packetEnds ? 0 : -1, page.data() + 6);
        qToLittleEndian<quint32>(headers.serial, page.data() + 14);
        qToLittleEndian<quint32>(quint32(p + 1), page.data() + 18);
        page[26] = char(count);
        page += pageLacing + data.mid(at, bodySize);
        qToLittleEndian<quint32>(oggChecksum(page), page.data() + 22);
        out += page;
        used += count;
        at += bodySize;
        continued = uchar(pageLacing.back()) == 255;
    }
    return out;
}

void setField(TagLib::Ogg::XiphComment &comment, const char *key, const QStringList &values)
{
    comment.removeFields(key);
    for (const QString &value : values) {
        if (!value.isEmpty())
            comment.addField(key, TagLib::String(value.toStdString(), TagLib::String::UTF8), false);
    }
}

QByteArray commentPacket(const QByteArray &old, const TagValues &values)
{
    // The vendor stays; the comments are wholly ours, replacing the ones the splitter kept room with.
    TagLib::Ogg::XiphComment comment(TagLib::ByteVector(old.constData() + 7, uint(old.size() - 7)));
    comment.removeAllFields();
    if (values.title)
        setField(comment, "TITLE", {*values.title});
    if (values.artist)
        setField(comment, "ARTIST", {*values.artist});
    if (values.album)
        setField(comment, "ALBUM", {*values.album});
    if (values.year)
        setField(comment, "DATE", {*values.year > 0 ? QString::number(*values.year) : QString()});
    if (values.track) {
        const auto [track, total] = *values.track;
        setField(comment, "TRACKNUMBER", {track >= 0 ? QString::number(track) : QString()});
        setField(comment, "TRACKTOTAL", {total > 0 ? QString::number(total) : QString()});
    }
    if (values.genres)
        setField(comment, "GENRE", *values.genres);
    const TagLib::ByteVector rendered = comment.render(true);
    return QByteArray("\x03vorbis", 7) + QByteArray(rendered.data(), rendered.size());
}

} // namespace

bool isOggVorbisFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const auto first = readPage(file, 0);
    return first && (first->flags & 0x02) && first->body.startsWith("\x01vorbis");
}

std::optional<FrontPlan> planVorbisFront(const QString &path, const TagValues &values)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const auto headers = readHeaders(file);
    if (!headers)
        return std::nullopt;
    const QByteArray comment = commentPacket(headers->comment, values);

    // Everything but the comment packet has a fixed size; the packet may grow by zeros after its framing bit,
    // which every reader skips, so that the headers fill a given room exactly.
    const qint64 fixed = headers->identificationPage.size() + pageHeaderSize * headers->pages + headers->setup.size() +
                         lacingValues(headers->setup.size());
    FrontPlan plan;
    plan.audioBegin = headers->end;
    plan.audioEnd = file.size();
    plan.smallestFront = fixed + comment.size() + lacingValues(comment.size());
    plan.render = [headers = *headers, comment, fixed](qint64 size) -> std::optional<QByteArray> {
        const qint64 room = size - fixed; // packet bytes plus their lacing values
        for (qint64 length = std::max<qint64>(comment.size(), room - room / 255 - 2); length <= room; ++length) {
            if (length + lacingValues(length) == room)
                return buildPages(headers, comment + QByteArray(length - comment.size(), '\0'));
        }
        return std::nullopt;
    };
    return plan;
}

} // namespace velvane
