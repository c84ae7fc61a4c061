#include "core/web/version.h"

using namespace Qt::StringLiterals;

namespace velvane {

QString versionNumber(int version)
{
    return QString::number(version / 1000) % u'.' % QString::number(version % 1000);
}

QString versionText(int version)
{
    return u'v' % versionNumber(version);
}

} // namespace velvane
