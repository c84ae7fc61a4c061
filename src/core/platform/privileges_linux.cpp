#include "core/platform/privileges.h"

namespace velvane {

std::unique_ptr<PrivilegeLayer> makeSystemPrivilegeLayer()
{
    return makePkexecPrivilegeLayer();
}

} // namespace velvane
