#include "core/platform/privileges.h"

#include "core/platform/platformlog.h"

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace velvane {

namespace {

// Without a prompt we know how to drive, only a process that already is root can install.
class RootOnlyPrivilegeLayer final : public PrivilegeLayer
{
public:
    PrivilegedRun runAsAdministrator(const QList<PrivilegedCommand> &commands) override
    {
#ifdef Q_OS_UNIX
        if (geteuid() == 0)
            return runDirectly(commands);
#endif
        qCWarning(lcPlatform) << "no way to obtain administrator rights here; start velvane as root to install";
        return {Authorisation::Unavailable, {}};
    }
};

} // namespace

std::unique_ptr<PrivilegeLayer> makeSystemPrivilegeLayer()
{
    return std::make_unique<RootOnlyPrivilegeLayer>();
}

} // namespace velvane
