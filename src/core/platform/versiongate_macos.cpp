#include "core/platform/versiongate.h"

// AppKit exports its version as a plain C double, so no Objective-C is needed to read it.
extern "C" const double NSAppKitVersionNumber;

namespace velvane {

std::optional<StartupRefusal> currentVersionRefusal()
{
    if (auto refusal = appKitRefusal(NSAppKitVersionNumber))
        return refusal;
    return qtRefusal(QString::fromLatin1(qVersion()), oldestSupportedQt());
}

} // namespace velvane
