#include "core/platform/terminationsignals.h"

#include <atomic>
#include <csignal>

namespace velvane {

namespace {

std::atomic<int> firstSignal{0};

extern "C" void onTerminationSignal(int signal)
{
    int expected = 0;
    firstSignal.compare_exchange_strong(expected, signal);
    std::signal(signal, onTerminationSignal);
}

} // namespace

bool TerminationSignals::install()
{
    bool ok = std::signal(SIGINT, onTerminationSignal) != SIG_ERR;
    ok = std::signal(SIGTERM, onTerminationSignal) != SIG_ERR && ok;
#ifdef SIGHUP // not on Windows
    ok = std::signal(SIGHUP, onTerminationSignal) != SIG_ERR && ok;
#endif
    return ok;
}

int TerminationSignals::received()
{
    return firstSignal.load();
}

int TerminationSignals::wakeDescriptor()
{
    return -1;
}

} // namespace velvane
