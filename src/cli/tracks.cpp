#include "cli/commands.h"

// Placeholder until the cue reader lands.
int runTracksCommand(const QStringList &)
{
    printUsage();
    return 2;
}
