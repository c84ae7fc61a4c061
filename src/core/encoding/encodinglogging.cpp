#include "core/encoding/encodinglogging.h"

// Quiet below info by default: the command-line tool's stderr is for its own messages.
Q_LOGGING_CATEGORY(lcEncoding, "velvane.encoding", QtInfoMsg)
