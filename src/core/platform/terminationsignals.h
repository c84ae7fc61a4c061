#pragma once

namespace velvane {

// SIGINT, SIGTERM and SIGHUP (Ctrl+C, kill, the end of a terminal or desktop session) become a request to stop
// rather than an end on the spot, so a running split can stop its splitter, keep the tracks already made and
// clear its work folder. The handler only records the signal and wakes a pipe.
class TerminationSignals
{
public:
    // Once, early in main. False when the handlers could not be set.
    static bool install();
    // 0 until one of the signals arrives, then the first one's number.
    [[nodiscard]] static int received();
    // Readable once a signal has arrived, for an event loop to watch; -1 when there is none.
    [[nodiscard]] static int wakeDescriptor();
    // The exit status a shell reports for a process ended by the signal: 128 + its number.
    [[nodiscard]] static int exitStatus(int signal) { return 128 + signal; }
};

} // namespace velvane
