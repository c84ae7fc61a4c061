#include "core/cue/cuepaths.h"

using namespace Qt::StringLiterals;

namespace velvane {

namespace {

QString withoutTrailingSlashes(QString path)
{
    while (path.size() > 1 && path.endsWith(u'/'))
        path.chop(1);
    return path;
}

} // namespace

QString folderOfPath(const QString &path)
{
    const QString trimmed = withoutTrailingSlashes(path);
    const qsizetype slash = trimmed.lastIndexOf(u'/');
    if (slash < 0)
        return u""_s;
    if (slash == 0)
        return u"/"_s;
    return withoutTrailingSlashes(trimmed.left(slash));
}

QString lastPathComponent(const QString &path)
{
    const QString trimmed = withoutTrailingSlashes(path);
    if (trimmed == u"/"_s)
        return trimmed;
    return trimmed.mid(trimmed.lastIndexOf(u'/') + 1);
}

QString joinedPath(const QString &folder, const QString &name)
{
    qsizetype start = 0;
    while (start < name.size() && name.at(start) == u'/')
        ++start;
    const QString tail = name.mid(start);
    const QString head = withoutTrailingSlashes(folder);
    if (head.isEmpty())
        return name;
    if (tail.isEmpty())
        return head;
    if (head == u"/"_s)
        return head + tail;
    return head + u'/' + tail;
}

} // namespace velvane
