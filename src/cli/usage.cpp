#include "cli/commands.h"

#include <cstdio>

void printUsage()
{
    std::fputs("usage: velvane-split --tracks FILE.cue\n"
               "       velvane-split FILE.cue [--dest DIR] [--audio FILE] [--numbered] [--tags]\n"
               "                     [--genre NAME] [--year N] [--album TEXT] [--stall-timeout SECONDS]\n",
               stderr);
}
