#include "main/graphicalsession.h"

#include <QtGlobal>

#include <cstring>

using namespace Qt::StringLiterals;

std::optional<QString> missingGraphicalSession(int argc, const char *const *argv)
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN)
    if (!qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
        !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        return std::nullopt;
    // Qt takes the option with one dash or two.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0)
            return std::nullopt;
    }
    return u"velvane: no graphical session to open the window in (neither DISPLAY nor WAYLAND_DISPLAY is set); "
           u"velvane-split works without one."_s;
#else
    Q_UNUSED(argc);
    Q_UNUSED(argv);
    return std::nullopt;
#endif
}
