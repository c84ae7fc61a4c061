#include "core/platform/splitterlocation.h"

#include <QCoreApplication>

using namespace Qt::StringLiterals;

namespace velvane {

// Windows has no shared folder for programs on the search path; the splitter ships beside Velvane.
QString installedSplitterPath()
{
    return QCoreApplication::applicationDirPath() + u"/mp3splt.exe"_s;
}

} // namespace velvane
