#include "core/split/albumfields.h"

#include <QRegularExpression>

using namespace Qt::StringLiterals;

namespace velvane {

AlbumFields albumFieldsForSheet(const QDate &today)
{
    return {QString::number(today.year()).rightJustified(4, u'0'), u"Techno"_s};
}

std::optional<int> yearFromText(const QString &text)
{
    static const QRegularExpression year(u"^[0-9]{0,4}$"_s);
    if (!year.match(text).hasMatch())
        return std::nullopt;
    return text.isEmpty() ? 0 : text.toInt();
}

} // namespace velvane
