#include "core/startup/startuplog.h"

Q_LOGGING_CATEGORY(lcStartup, "velvane.startup")
