#pragma once

#include <QString>
#include <QStringList>
#include <QVersionNumber>

#include <optional>

namespace velvane {

// The alert shown before the application ends; the core library stays free of widgets, so it is plain text.
struct StartupRefusal
{
    QString title;
    QString message;
    QStringList buttons;
};

// Mac OS X 10.2 ships AppKit 663.x; anything from 664 on is new enough.
[[nodiscard]] std::optional<StartupRefusal> appKitRefusal(double appKitVersion);

// Qt keeps binary compatibility only forwards, so a Qt older than the one we were built against cannot work.
[[nodiscard]] std::optional<StartupRefusal> qtRefusal(const QString &runningQt, const QVersionNumber &oldestSupported);
[[nodiscard]] QVersionNumber oldestSupportedQt();

// The gate for the platform we run on; nothing when the start may go on.
[[nodiscard]] std::optional<StartupRefusal> currentVersionRefusal();

} // namespace velvane
