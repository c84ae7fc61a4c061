#include "core/split/librarytags.h"

#include <QRegularExpression>
#include <QSet>

using namespace Qt::StringLiterals;

namespace velvane {

bool isVariousArtists(const QString &performer)
{
    const QString name = performer.simplified();
    for (const QString &various : {u"Various Artists"_s, u"Various"_s, u"VA"_s}) {
        if (name.compare(various, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

DiscCount discFromFolderName(const QString &folderName)
{
    // A word of its own: "ABCD2" or "Discovery 2" names no disc.
    static const QRegularExpression disc(
        uR"((?:^|[^\p{L}\p{N}])(?:cd|disc|disk)\s*(\d{1,3})(?:\s*(?:of|/)\s*(\d{1,3}))?(?![\p{L}\p{N}]))"_s,
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = disc.match(folderName);
    if (!match.hasMatch())
        return {};
    const int number = match.captured(1).toInt();
    const int total = match.captured(2).toInt();
    if (number == 0)
        return {};
    return {number, total >= number ? total : 0};
}

AlbumGrouping albumGrouping(const SheetAlbum &sheet, const TrackList &tracks, const QString &albumFolderName)
{
    AlbumGrouping grouping;
    grouping.albumArtist = sheet.performer;
    QSet<QString> performers;
    for (const TrackEntry &track : tracks) {
        const QString performer = track.value(u"performer"_s).simplified().toCaseFolded();
        if (!performer.isEmpty())
            performers.insert(performer);
    }
    grouping.compilation =
        performers.size() > 1 && (sheet.performer.trimmed().isEmpty() || isVariousArtists(sheet.performer));

    const DiscCount disc =
        sheet.discNumber > 0 ? DiscCount{sheet.discNumber, sheet.totalDiscs} : discFromFolderName(albumFolderName);
    grouping.disc = disc.number;
    // A total below the number is a slip, and "3/2" would only confuse a library.
    grouping.totalDiscs = disc.total >= disc.number ? disc.total : 0;
    return grouping;
}

std::optional<int> yearFromSheetDate(const QString &date)
{
    static const QRegularExpression year(uR"(^\s*(\d{4})(?!\d))"_s);
    const QRegularExpressionMatch match = year.match(date);
    if (!match.hasMatch())
        return std::nullopt;
    return match.captured(1).toInt();
}

} // namespace velvane
