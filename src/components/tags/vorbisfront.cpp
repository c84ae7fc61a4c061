#include "components/tags/vorbisfront.h"

#include "components/tags/vorbiscomment.h"
#include "core/audio/filebytes.h"
#include "core/audio/oggpage.h"

#include <QFile>
#include <QList>
#include <QtEndian>

using namespace Qt::StringLiterals;

namespace velvane {

namespace {

constexpr int maxHeaderPages = 64;
constexpr int maxLacingValues = 255;

// One logical stream of the file: its three header packets, and the pages that follow them.
struct VorbisHeaders
{
    QByteArray identificationPage; // kept as it is
    quint32 serial = 0;
    quint32 sequence = 0; // the identification page's
    QByteArray comment;
    QByteArray setup;
    int pages = 0; // after the identification page, up to the end of the setup packet
    QList<OggPage> laterPages;
};

std::optional<VorbisHeaders> readHeaders(const QList<OggPage> &pages)
{
    const OggPage &first = pages.front();
    // The identification header is alone on the first page, as Vorbis requires.
    if (!(first.flags & oggFirstPage) || first.lacing.isEmpty() || quint8(first.lacing.back()) == 255 ||
        !first.body.startsWith("\x01vorbis"))
        return std::nullopt;
    VorbisHeaders headers;
    headers.identificationPage = first.bytes().toByteArray();
    headers.serial = first.serial;
    headers.sequence = first.sequence;

    QList<QByteArray> packets;
    QByteArray partial;
    qsizetype next = 1;
    while (packets.size() < 2) {
        if (next >= pages.size() || ++headers.pages > maxHeaderPages)
            return std::nullopt;
        const OggPage &page = pages[next++];
        if (page.sequence != headers.sequence + quint32(headers.pages) ||
            bool(page.flags & oggContinuedPacket) != !partial.isEmpty())
            return std::nullopt;
        qint64 at = 0;
        for (const char value : page.lacing) {
            // Audio sharing the setup header's page would need its page rebuilt too.
            if (packets.size() == 2)
                return std::nullopt;
            const int length = quint8(value);
            partial += page.body.sliced(at, length);
            at += length;
            if (length < 255)
                packets.append(std::exchange(partial, QByteArray()));
        }
    }
    headers.comment = packets[0];
    headers.setup = packets[1];
    headers.laterPages = pages.sliced(next);
    if (!headers.comment.startsWith("\x03vorbis") || !headers.setup.startsWith("\x05vorbis"))
        return std::nullopt;
    return headers;
}

// The file's logical streams one after the other, as a chained file has them; nothing for streams that interleave.
std::optional<QList<QList<OggPage>>> streamsOf(QByteArrayView data)
{
    QList<QList<OggPage>> streams;
    for (qint64 at = 0; at < data.size();) {
        const auto page = readOggPage(data, at);
        if (!page)
            return std::nullopt;
        if (page->flags & oggFirstPage)
            streams.append(QList<OggPage>());
        if (streams.isEmpty() || (!streams.back().isEmpty() && streams.back().front().serial != page->serial))
            return std::nullopt;
        streams.back().append(*page);
        at = page->end();
    }
    if (streams.isEmpty())
        return std::nullopt;
    return streams;
}

qint64 lacingValues(qint64 packetSize)
{
    return packetSize / 255 + 1;
}

// Header pages enough for the comment and setup packets, and never fewer than before, so that the audio pages keep
// their sequence numbers whenever the comments fit.
int pagesFor(const VorbisHeaders &headers, const QByteArray &comment)
{
    const qint64 values = lacingValues(comment.size()) + lacingValues(headers.setup.size());
    return std::max<int>(headers.pages, int((values + maxLacingValues - 1) / maxLacingValues));
}

// The comment and setup packets laced over exactly `pages` pages, numbered on from the identification page. A page
// that goes on with a packet begun on the page before says so.
std::optional<QByteArray> buildPages(const VorbisHeaders &headers, const QByteArray &comment, int pages)
{
    QByteArray lacing;
    for (const qsizetype size : {comment.size(), headers.setup.size()}) {
        lacing += QByteArray(size / 255, char(255));
        lacing += char(size % 255);
    }
    const qint64 values = lacing.size();
    if (values < pages || values > maxLacingValues * qint64(pages))
        return std::nullopt;
    const QByteArray data = comment + headers.setup;
    QByteArray out;
    out.reserve(headers.identificationPage.size() + (oggPageHeaderSize + maxLacingValues) * pages + data.size());
    out += headers.identificationPage;
    qint64 used = 0, at = 0;
    bool continued = false;
    for (int p = 0; p < pages; ++p) {
        const qint64 count = values * (p + 1) / pages - values * p / pages;
        const QByteArrayView pageLacing = QByteArrayView(lacing).sliced(used, count);
        qint64 bodySize = 0;
        bool packetEnds = false;
        for (const char value : pageLacing) {
            bodySize += uchar(value);
            packetEnds = packetEnds || uchar(value) < 255;
        }
        // Header pages carry granule 0; a page on which no packet ends carries -1.
        appendOggPage(out, continued ? oggContinuedPacket : 0, packetEnds ? 0 : -1, headers.serial,
                      headers.sequence + quint32(p + 1), pageLacing, QByteArrayView(data).sliced(at, bodySize));
        used += count;
        at += bodySize;
        continued = uchar(pageLacing.back()) == 255;
    }
    return out;
}

// A page moved on by `shift` in its stream's numbering, put straight behind what `out` holds; only its header, when
// the body stays where it is.
void appendRenumbered(QByteArray &out, const OggPage &page, quint32 shift, bool withBody)
{
    const qsizetype at = out.size();
    out += page.bytes();
    qToLittleEndian<quint32>(page.sequence + shift, out.data() + at + 18);
    qToLittleEndian<quint32>(oggPageCrc(QByteArrayView(out).sliced(at)), out.data() + at + 22);
    if (!withBody)
        out.truncate(at + oggPageHeaderSize + page.lacing.size());
}

struct JoinedPages
{
    QByteArray pages; // the audio pages up to `end`, joined and renumbered
    qint64 end = 0;   // where the first page begins that keeps its number
};

// Audio pages joined in groups, each into one page, until `shift` pages are gone: the header pages that comments
// added are then made up for before the first page that keeps its number, and everything from there on is copied as
// it is instead of renumbered page by page. A page holds up to 255 lacing values; the splitter's pages hold far
// fewer. A joined page's granule position is its last packet's, as the pages' own were. The first audio page, whose
// granule position tells how much of the stream's start to skip, and the last, which tells where it ends, stay alone.
std::optional<JoinedPages> joinPages(const VorbisHeaders &stream, quint32 shift)
{
    const QList<OggPage> &pages = stream.laterPages;
    if (pages.size() < 3)
        return std::nullopt;
    JoinedPages joined;
    quint32 sequence = pages[0].sequence + shift;
    appendRenumbered(joined.pages, pages[0], shift, true);
    ++sequence;
    quint32 removed = 0;
    qsizetype p = 1;
    for (; removed < shift; ++p) {
        if (p + 1 >= pages.size())
            return std::nullopt;
        const quint8 continued = pages[p].flags & oggContinuedPacket;
        QByteArray lacing = pages[p].lacing.toByteArray(), body = pages[p].body.toByteArray();
        qint64 granule = pages[p].granule;
        for (; removed < shift && p + 2 < pages.size() && lacing.size() + pages[p + 1].lacing.size() <= maxLacingValues;
             ++removed) {
            ++p;
            lacing += pages[p].lacing;
            body += pages[p].body;
            granule = pages[p].granule != -1 ? pages[p].granule : granule;
        }
        appendOggPage(joined.pages, continued, granule, stream.serial, sequence++, lacing, body);
    }
    if (sequence != pages[p].sequence)
        return std::nullopt;
    joined.end = pages[p].offset;
    return joined;
}

QByteArray commentPacket(const QByteArray &old, const TagValues &values)
{
    // The vendor stays; the comments are wholly ours, replacing the ones the splitter kept room with.
    return QByteArray("\x03vorbis", 7) + vorbisCommentWith(old.sliced(7), values, VorbisCommentIn::OggPacket);
}

// A comment packet grown by zeros after its framing bit, which every reader skips.
QByteArray padded(const QByteArray &comment, qint64 length)
{
    return comment + QByteArray(std::max<qint64>(0, length - comment.size()), '\0');
}

} // namespace

bool isOggVorbisFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray start = file.read(oggPageHeaderSize + 255 + 255 * 255);
    const auto first = readOggPage(start, 0);
    return first && (first->flags & oggFirstPage) && first->body.startsWith("\x01vorbis");
}

// Every logical stream of a piece gets the comments: the splitter writes its own, room included, into each stream of
// a piece that spans the join of a chained file. The first stream's headers are the front; what follows them up to
// the last stream's headers goes into the front unchanged, unless a stream needs more header pages than it had,
// which moves its later pages on in their numbering, and with the last stream's that takes the front to the last
// page's body.
std::optional<FrontPlan> planVorbisFront(const QString &path, const TagValues &values)
{
    const FileBytes file(path);
    if (file.isEmpty())
        return std::nullopt;
    const QByteArrayView data = file.data();

    const auto streams = streamsOf(data);
    if (!streams)
        return std::nullopt;
    QList<VorbisHeaders> headers;
    for (const QList<OggPage> &pages : *streams) {
        auto stream = readHeaders(pages);
        if (!stream)
            return std::nullopt;
        headers.append(std::move(*stream));
    }

    const VorbisHeaders &first = headers.front();
    const QByteArray comment = commentPacket(first.comment, values);
    const int firstPages = pagesFor(first, comment);

    FrontPlan plan;
    plan.audioEnd = data.size();
    QByteArray middle;
    std::optional<JoinedPages> joined;
    if (headers.size() == 1 && firstPages > first.pages)
        joined = joinPages(first, quint32(firstPages - first.pages));
    if (joined) {
        middle = std::move(joined->pages);
        plan.audioBegin = joined->end;
    } else {
        middle.reserve(data.size());
    }
    for (qsizetype s = 0; !joined && s < headers.size(); ++s) {
        const VorbisHeaders &stream = headers[s];
        int pages = firstPages;
        if (s > 0) {
            // Later streams keep their headers' size where the comments fit, so nothing behind them moves.
            const QByteArray own = commentPacket(stream.comment, values);
            pages = pagesFor(stream, own);
            const auto built = buildPages(stream, padded(own, stream.comment.size()), pages);
            if (!built)
                return std::nullopt;
            middle += *built;
        }
        const quint32 shift = quint32(pages - stream.pages);
        const bool last = s + 1 == headers.size();
        if (last && shift == 0) {
            plan.audioBegin = stream.laterPages.isEmpty() ? data.size() : stream.laterPages.front().offset;
            break;
        }
        for (qsizetype p = 0; p < stream.laterPages.size(); ++p) {
            const OggPage &page = stream.laterPages[p];
            const bool lastPage = last && p + 1 == stream.laterPages.size();
            if (shift == 0)
                middle += data.sliced(page.offset, page.end() - page.offset);
            else
                appendRenumbered(middle, page, shift, !lastPage);
            if (lastPage)
                plan.audioBegin = page.bodyOffset();
        }
        if (last && stream.laterPages.isEmpty())
            return std::nullopt;
    }
    if (plan.audioBegin >= plan.audioEnd)
        return std::nullopt;

    // Everything but the first comment packet has a fixed size; the packet may grow by zeros, so that the front fills
    // a given room exactly.
    const qint64 fixed = first.identificationPage.size() + oggPageHeaderSize * firstPages + first.setup.size() +
                         lacingValues(first.setup.size()) + middle.size();
    plan.smallestFront = fixed + comment.size() + lacingValues(comment.size());
    plan.render = [first, comment, firstPages, fixed, middle](qint64 size) -> std::optional<QByteArray> {
        const qint64 room = size - fixed; // packet bytes plus their lacing values
        for (qint64 length = std::max<qint64>(comment.size(), room - room / 255 - 2); length <= room; ++length) {
            if (length + lacingValues(length) != room)
                continue;
            auto front = buildPages(first, padded(comment, length), firstPages);
            if (front) {
                front->reserve(front->size() + middle.size());
                *front += middle;
            }
            return front;
        }
        return std::nullopt;
    };
    return plan;
}

} // namespace velvane
