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
    const bool interrupt = std::signal(SIGINT, onTerminationSignal) != SIG_ERR;
    const bool terminate = std::signal(SIGTERM, onTerminationSignal) != SIG_ERR;
    return interrupt && terminate;
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
