#include "cli/commands.h"

// Placeholder until the split job lands.
int runSplitCommand(const QStringList &)
{
    printUsage();
    return 2;
}
