#include "core/platform/versiongate.h"

namespace velvane {

std::optional<StartupRefusal> currentVersionRefusal()
{
    return qtRefusal(QString::fromLatin1(qVersion()), oldestSupportedQt());
}

} // namespace velvane
