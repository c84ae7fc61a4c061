#include "core/text/intvalue.h"

#include <limits>

namespace velvane {

int intValue(const QString &text)
{
    qsizetype i = 0;
    while (i < text.size() && text.at(i).isSpace())
        ++i;
    bool negative = false;
    if (i < text.size() && (text.at(i) == u'+' || text.at(i) == u'-')) {
        negative = text.at(i) == u'-';
        ++i;
    }
    constexpr qint64 limit = qint64(std::numeric_limits<int>::max()) + 1;
    qint64 magnitude = 0;
    for (; i < text.size() && text.at(i) >= u'0' && text.at(i) <= u'9'; ++i)
        magnitude = std::min(limit, magnitude * 10 + (text.at(i).unicode() - u'0'));
    const qint64 value = negative ? -magnitude : std::min(magnitude, limit - 1);
    return int(value);
}

std::optional<qint64> digitsValue(QStringView text, qsizetype maxLength)
{
    if (text.isEmpty() || text.size() > maxLength)
        return std::nullopt;
    qint64 value = 0;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = value * 10 + (c.unicode() - u'0');
    }
    return value;
}

std::optional<int> wholeNumberIn(const QString &text, int lowest, int highest)
{
    const std::optional<qint64> value = digitsValue(text.trimmed(), 10);
    if (!value || *value < lowest || *value > highest)
        return std::nullopt;
    return int(*value);
}

} // namespace velvane
