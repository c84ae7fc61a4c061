#pragma once

#include <QStringList>

#include <cstdio>

// Each returns the process exit status. args excludes the program name.
int runTracksCommand(const QStringList &args);
int runSplitCommand(const QStringList &args);
// Asked for with --help, on stdout; after a mistake, on stderr.
void printUsage(FILE *stream = stderr);
// One line for a name --encoding does not know, listing the names it does.
[[nodiscard]] QString unknownEncodingMessage(const QString &name);
