#include "core/cue/cuelogging.h"

// Quiet below info by default: the command-line tool's stderr is for its own messages.
Q_LOGGING_CATEGORY(lcCue, "velvane.cue", QtInfoMsg)
