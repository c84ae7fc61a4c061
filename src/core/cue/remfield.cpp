#include "core/cue/remfield.h"

#include "core/cue/cleanedstring.h"

using namespace Qt::StringLiterals;

namespace velvane {

namespace {

bool isSeparator(QChar c)
{
    return c == u' ' || c == u'\t';
}

} // namespace

std::optional<RemField> remField(const QString &line)
{
    if (line.size() < 4 || !line.startsWith(u"REM", Qt::CaseInsensitive) || !isSeparator(line.at(3)))
        return std::nullopt;
    qsizetype keyStart = 4;
    while (keyStart < line.size() && isSeparator(line.at(keyStart)))
        ++keyStart;
    qsizetype keyEnd = keyStart;
    while (keyEnd < line.size() && !isSeparator(line.at(keyEnd)))
        ++keyEnd;
    if (keyEnd == keyStart)
        return std::nullopt;
    return RemField{line.sliced(keyStart, keyEnd - keyStart).toUpper(), cleanedString(line.sliced(keyEnd))};
}

} // namespace velvane
