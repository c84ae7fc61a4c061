#include "core/split/albumfields.h"

#include <QRegularExpression>

using namespace Qt::StringLiterals;

namespace velvane {

namespace {

// Rippers write "1978", "1978-11-10" or "10/11/1978"; a date with no four-digit year in it gives none.
QString yearOfDate(const QString &date)
{
    static const QRegularExpression year(u"(?<![0-9])[0-9]{4}(?![0-9])"_s);
    return year.match(date).captured();
}

} // namespace

AlbumFields albumFieldsForSheet(const QDate &today, const QString &folderName, const SheetAlbum &sheet)
{
    AlbumFields fields{sheet.title, yearOfDate(sheet.date), sheet.genre};
    if (fields.title.isEmpty())
        fields.title = folderName;
    if (fields.year.isEmpty())
        fields.year = QString::number(today.year()).rightJustified(4, u'0');
    if (fields.genre.isEmpty())
        fields.genre = u"Techno"_s;
    return fields;
}

std::optional<int> yearFromText(const QString &text)
{
    static const QRegularExpression year(u"^[0-9]{0,4}$"_s);
    if (!year.match(text).hasMatch())
        return std::nullopt;
    return text.isEmpty() ? 0 : text.toInt();
}

} // namespace velvane
