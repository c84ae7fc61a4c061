#include "components/splitterrunner.h"

using namespace Qt::StringLiterals;

namespace velvane {

namespace {

std::optional<int> digits(QStringView text, qsizetype maxLength)
{
    if (text.isEmpty() || text.size() > maxLength)
        return std::nullopt;
    int value = 0;
    for (QChar c : text) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = value * 10 + (c.unicode() - u'0');
    }
    return value;
}

} // namespace

std::optional<QString> splitterTime(const QString &cueTime)
{
    const QList<QStringView> fields = QStringView(cueTime).split(u':');
    if (fields.size() != 3)
        return std::nullopt;
    // Minutes are only checked for digits; anything longer than this is no real album anyway.
    const auto minutes = digits(fields[0], 6);
    const auto seconds = digits(fields[1], 2);
    const auto frames = digits(fields[2], 2);
    if (!minutes || !seconds || !frames || *seconds > 59 || *frames > 74)
        return std::nullopt;
    // round(ff * 100 / 75) = round(4ff / 3), and a third never ends in .5, so integer rounding is exact.
    const int hundredths = (*frames * 4 + 1) / 3;
    return fields[0].toString() % u'.' % fields[1].toString() % u'.' %
           QString::number(hundredths).rightJustified(2, u'0');
}

} // namespace velvane
