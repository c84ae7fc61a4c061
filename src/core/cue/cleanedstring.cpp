#include "core/cue/cleanedstring.h"

namespace velvane {

namespace {

bool isTrimmed(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'"';
}

} // namespace

QString cleanedString(const QString &value)
{
    // Quotes are not paired: a value may end in a stray quote that the sheet's author never closed.
    qsizetype begin = 0;
    qsizetype end = value.size();
    while (begin < end && isTrimmed(value.at(begin)))
        ++begin;
    while (end > begin && isTrimmed(value.at(end - 1)))
        --end;
    return QString(value.constData() + begin, end - begin);
}

} // namespace velvane
