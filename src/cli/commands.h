#pragma once

#include <QStringList>

// Each returns the process exit status. args excludes the program name.
int runTracksCommand(const QStringList &args);
int runSplitCommand(const QStringList &args);
void printUsage();
// One line for a name --encoding does not know, listing the names it does.
[[nodiscard]] QString unknownEncodingMessage(const QString &name);
