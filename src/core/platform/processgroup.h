#pragma once

class QProcess;

namespace velvane {

// Makes the process, once started, lead a group of its own, so that ending the group also ends whatever it starts.
// Call before start().
void startInOwnGroup(QProcess &process);

// Ends the process at once, with its group where it leads one. The caller still reaps it (waitForFinished).
void killGroup(QProcess &process);

} // namespace velvane
