#include "core/split/outputname.h"

using namespace Qt::StringLiterals;

namespace velvane {

QString cleanedFilename(const QString &text)
{
    QString name = text;
    // "*" marks white space while runs are folded. Folding "**" once halves a run rather than collapsing it, and
    // names of tracks split earlier depend on that.
    name.replace(u'/', u'.');
    name.replace(u'\\', u'.');
    name.replace(u':', u'.');
    name.replace(u'\t', u'*');
    name.replace(u' ', u'*');
    name.replace(u"**"_s, u"*"_s);
    name.replace(u'*', u' ');
    return name;
}

QString outputName(int number, const TrackEntry &entry, const QString &extension, bool numbered)
{
    const QString base = cleanedFilename(entry.value(u"performer"_s)) % u" - "_s %
                         cleanedFilename(entry.value(u"title"_s)) % u'.' % extension;
    if (!numbered)
        return base;
    const QString prefix = number < 10 ? u"0"_s % QString::number(number) : QString::number(number);
    return prefix % u' ' % base;
}

} // namespace velvane
