#include "core/platform/terminationsignals.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace velvane {

namespace {

std::atomic<int> firstSignal{0};
int wakePipe[2] = {-1, -1};

extern "C" void onTerminationSignal(int signal)
{
    int expected = 0;
    firstSignal.compare_exchange_strong(expected, signal);
    const int savedErrno = errno;
    if (wakePipe[1] >= 0) {
        const char byte = 1;
        [[maybe_unused]] const ssize_t written = ::write(wakePipe[1], &byte, 1);
    }
    errno = savedErrno;
}

// pipe2 would set the flags in the same step, but macOS lacks it; nothing else runs this early in main.
bool openWakePipe()
{
    if (::pipe(wakePipe) != 0)
        return false;
    for (const int fd : wakePipe) {
        if (::fcntl(fd, F_SETFD, FD_CLOEXEC) != 0 || ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK) != 0) {
            ::close(wakePipe[0]);
            ::close(wakePipe[1]);
            return false;
        }
    }
    return true;
}

} // namespace

bool TerminationSignals::install()
{
    if (wakePipe[0] < 0 && !openWakePipe())
        wakePipe[0] = wakePipe[1] = -1;
    struct sigaction action = {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    bool ok = true;
    for (const int signal : {SIGINT, SIGTERM, SIGHUP})
        ok = ::sigaction(signal, &action, nullptr) == 0 && ok;
    return ok;
}

int TerminationSignals::received()
{
    return firstSignal.load();
}

int TerminationSignals::wakeDescriptor()
{
    return wakePipe[0];
}

} // namespace velvane
