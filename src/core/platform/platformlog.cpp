#include "core/platform/platformlog.h"

Q_LOGGING_CATEGORY(lcPlatform, "velvane.platform")
