#include "core/platform/processgroup.h"

#include <QProcess>

#include <csignal>
#include <unistd.h>

namespace velvane {

void startInOwnGroup(QProcess &process)
{
    process.setChildProcessModifier([] { ::setpgid(0, 0); });
}

void killGroup(QProcess &process)
{
    if (process.state() == QProcess::NotRunning)
        return;
    // Still unreaped, so the group id cannot belong to anyone else.
    if (const qint64 pid = process.processId(); pid > 0)
        ::kill(pid_t(-pid), SIGKILL);
    process.kill();
}

} // namespace velvane
