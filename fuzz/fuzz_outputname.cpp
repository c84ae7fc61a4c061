// Builds piece names from arbitrary sheet text and checks what every name must be, whatever the folder's limit.
//
// Input: a flags byte (bit 0 numbered, bit 1 Ogg, bit 2 text in UTF-16, bits 3-7 how many times the track number
// the job's track count is), the track number, the attempt and the limit (one byte each, the limit scaled), then the
// performer and the title, split at the first 0xFF byte (UTF-8) or U+FFFF (UTF-16), neither of which valid sheet
// text holds.

#include "fuzzcheck.h"

#include "core/split/outputname.h"

#include <algorithm>
#include <cstdint>

using namespace Qt::StringLiterals;

namespace {

constexpr int smallestNameLimit = 14; // POSIX: no file system may allow less

QStringList texts(QByteArrayView rest, bool utf16)
{
    if (!utf16) {
        const qsizetype split = rest.indexOf('\xFF');
        if (split < 0)
            return {QString::fromUtf8(rest), QString()};
        return {QString::fromUtf8(rest.first(split)), QString::fromUtf8(rest.sliced(split + 1))};
    }
    const QString all(reinterpret_cast<const QChar *>(rest.data()), rest.size() / 2);
    const qsizetype split = all.indexOf(QChar(0xFFFF));
    if (split < 0)
        return {all, QString()};
    return {all.first(split), all.sliced(split + 1)};
}

qsizetype utf8Size(const QString &text)
{
    return text.toUtf8().size();
}

void checkName(const QString &name, const velvane::OutputName &parts, int attempt, int limit)
{
    const QString shown = u"%1 (limit %2)"_s.arg(name).arg(limit);
    require(!name.isEmpty() && name != u"."_s && name != u".."_s, "a name names a file", shown);
    require(!name.contains(u'/'), "no folder in a name", shown);
    for (const QChar c : name) {
        const char16_t u = c.unicode();
        require(u >= 0x20 && (u < 0x7F || u > 0x9F) && (u < 0x202A || u > 0x202E) && (u < 0x2066 || u > 0x2069),
                "no control character in a name", shown);
    }
    require(utf8Size(name) <= limit, "a name fits its folder's limit", shown);

    const QString mark = attempt > 1 ? u" ("_s + QString::number(attempt) + u')' : QString();
    const QString tail = mark + u'.' + parts.extension;
    // " - " stands between a performer and a title; a title alone is the name.
    const QString separator = parts.performer.isEmpty() && !parts.title.isEmpty() ? QString() : u" - "_s;
    const qsizetype fixed = utf8Size(parts.prefix) + utf8Size(separator) + utf8Size(tail);
    if (fixed <= limit)
        require(name.startsWith(parts.prefix) && name.endsWith(tail), "the number and the extension stay", shown);
    if (fixed + utf8Size(parts.performer) <= limit)
        require(name.startsWith(parts.prefix + parts.performer + separator), "the performer stays where it fits",
                shown);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 4)
        return 0;
    const QByteArrayView bytes(data, qsizetype(size));
    const auto flags = std::uint8_t(bytes[0]);
    const int number = std::uint8_t(bytes[1]);
    const int attempt = 1 + std::uint8_t(bytes[2]);
    const int limit = smallestNameLimit + 4 * std::uint8_t(bytes[3]);
    const bool utf16 = flags & 4;
    const int trackCount = std::max(1, number) * (1 + (flags >> 3));
    const QStringList words = texts(bytes.sliced(4), utf16);

    velvane::TrackEntry entry{{u"performer"_s, words.at(0)}, {u"title"_s, words.at(1)}};
    const velvane::OutputName parts =
        velvane::outputNameParts(number, entry, flags & 2 ? u"ogg"_s : u"mp3"_s, flags & 1, trackCount);
    // A plain sort keeps the tracks in order only when every number has as many digits as the count.
    if (flags & 1)
        require(parts.prefix.size() == std::max<qsizetype>(2, QString::number(trackCount).size()) + 1,
                "the number is as wide as the track count", parts.prefix);
    const QString name = parts.fileName(attempt, limit);
    checkName(name, parts, attempt, limit);
    // Cutting falls between characters, so it never breaks a pair a valid text held.
    if (words.at(0).isValidUtf16() && words.at(1).isValidUtf16())
        require(name.isValidUtf16(), "a cut keeps surrogate pairs whole", name);

    const QString unlimited = velvane::outputName(number, entry, parts.extension, flags & 1, trackCount);
    checkName(unlimited, parts, 1, int(utf8Size(unlimited)));
    return 0;
}
