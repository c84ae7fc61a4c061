#include "core/platform/versiongate.h"

#include <cmath>

using namespace Qt::StringLiterals;

namespace velvane {

std::optional<StartupRefusal> appKitRefusal(double appKitVersion)
{
    if (std::floor(appKitVersion) > 663.0)
        return std::nullopt;
    return StartupRefusal{
        u"Attention:"_s, u"This version of velvane can't be used on MacOS X 10.2 (Jaguar)!"_s, {u"Quit"_s}};
}

std::optional<StartupRefusal> qtRefusal(const QString &runningQt, const QVersionNumber &oldestSupported)
{
    const QVersionNumber running = QVersionNumber::fromString(runningQt);
    // An unreadable version is treated as too old rather than trusted.
    if (!running.isNull() && running >= oldestSupported)
        return std::nullopt;
    return StartupRefusal{
        u"Attention:"_s, u"This version of velvane can't be used with Qt %1!"_s.arg(runningQt), {u"Quit"_s}};
}

QVersionNumber oldestSupportedQt()
{
    return QVersionNumber(QT_VERSION_MAJOR, QT_VERSION_MINOR);
}

} // namespace velvane
