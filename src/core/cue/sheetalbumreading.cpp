#include "core/cue/sheetalbumreading.h"

#include "core/cue/cleanedstring.h"
#include "core/cue/remfield.h"

using namespace Qt::StringLiterals;

namespace velvane {

namespace {

// Box sets run to a few dozen discs; anything past this is a typing slip or an attack, not a disc number.
constexpr int largestDiscNumber = 999;

bool startsWithKeyword(const QString &line, QStringView keyword)
{
    return line.startsWith(keyword, Qt::CaseInsensitive);
}

// As for a track's values: the value starts one separator past the keyword.
QString valueAfter(const QString &line, QStringView keyword)
{
    const qsizetype offset = keyword.size() + 1;
    return cleanedString(line.size() > offset ? line.sliced(offset) : QString());
}

int discNumberFrom(QStringView digits)
{
    if (digits.isEmpty() || digits.size() > 3)
        return 0;
    int number = 0;
    for (QChar c : digits) {
        if (c < u'0' || c > u'9')
            return 0;
        number = number * 10 + (c.unicode() - u'0');
    }
    return number <= largestDiscNumber ? number : 0;
}

void takeRemField(SheetAlbum &album, const RemField &field)
{
    if (field.key == u"DATE")
        album.date = field.value;
    else if (field.key == u"GENRE")
        album.genre = field.value;
    else if (field.key == u"COMMENT")
        album.comment = field.value;
    else if (field.key == u"REPLAYGAIN_ALBUM_GAIN")
        album.replayGainGain = field.value;
    else if (field.key == u"REPLAYGAIN_ALBUM_PEAK")
        album.replayGainPeak = field.value;
    else if (field.key == u"DISCNUMBER") {
        const DiscCount count = discCountFrom(field.value);
        album.discNumber = count.number;
        if (count.total != 0 && album.totalDiscs == 0)
            album.totalDiscs = count.total;
    } else if (field.key == u"TOTALDISCS")
        album.totalDiscs = discNumberFrom(field.value);
}

} // namespace

DiscCount discCountFrom(const QString &value)
{
    const qsizetype slash = value.indexOf(u'/');
    if (slash < 0)
        return {discNumberFrom(value), 0};
    const int number = discNumberFrom(QStringView(value).first(slash).trimmed());
    const int total = discNumberFrom(QStringView(value).sliced(slash + 1).trimmed());
    if (number == 0 || total == 0)
        return {};
    return {number, total};
}

SheetAlbum sheetAlbumFromLines(const QStringList &lines)
{
    SheetAlbum album;
    for (const QString &line : lines) {
        if (startsWithKeyword(line, u"TRACK"))
            break;
        if (const std::optional<RemField> field = remField(line))
            takeRemField(album, *field);
        else if (startsWithKeyword(line, u"TITLE"))
            album.title = valueAfter(line, u"TITLE");
        else if (startsWithKeyword(line, u"PERFORMER"))
            album.performer = valueAfter(line, u"PERFORMER");
        else if (startsWithKeyword(line, u"SONGWRITER"))
            album.songwriter = valueAfter(line, u"SONGWRITER");
        else if (startsWithKeyword(line, u"CATALOG"))
            album.catalog = valueAfter(line, u"CATALOG");
    }
    return album;
}

} // namespace velvane
