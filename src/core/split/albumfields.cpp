#include "core/split/albumfields.h"

#include "core/split/librarytags.h"

#include <QRegularExpression>

using namespace Qt::StringLiterals;

namespace velvane {

AlbumFields albumFieldsForSheet(const QDate &today, const QString &folderName, const SheetAlbum &sheet)
{
    const int year = yearFromSheetDate(sheet.date).value_or(today.year());
    AlbumFields fields{sheet.title, QString::number(year).rightJustified(4, u'0'), sheet.genre};
    if (fields.title.isEmpty())
        fields.title = folderName;
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
