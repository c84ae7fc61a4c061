#include "core/startup/resourcefolder.h"

#include <QCoreApplication>
#include <QDir>

using namespace Qt::StringLiterals;

namespace velvane {

QString resourceFolder()
{
    return resourceFolderFrom(qEnvironmentVariable("VELVANE_RESOURCES"), QCoreApplication::applicationDirPath());
}

QString resourceFolderFrom(const QString &override, const QString &applicationDir)
{
    if (!override.isEmpty())
        return QDir::cleanPath(override);
    return QDir::cleanPath(applicationDir + u"/../share/velvane"_s);
}

} // namespace velvane
