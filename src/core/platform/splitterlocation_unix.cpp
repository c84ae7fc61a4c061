#include "core/platform/splitterlocation.h"

using namespace Qt::StringLiterals;

namespace velvane {

QString installedSplitterPath()
{
    return u"/usr/local/bin/mp3splt"_s;
}

} // namespace velvane
