#pragma once
// The signals that ask a program to stop: Ctrl+C (SIGINT), SIGTERM and SIGHUP; on Windows the
// console's events (Ctrl+C, Ctrl+Break, the console closing, log-off, shut-down).
#include <atomic>

namespace jqz {

// From now on, the first stop signal sets `stop` and, when notifyFd is not negative, writes
// the signal's number as one byte to notifyFd (the write end of a pipe an event loop
// watches), so that the program stops as its stop button would and then ends. A second one
// puts every open port back as it was found and lets go of its exclusive use, writes
// "Stopped again: exiting at once." to standard error and ends the process at once with
// 128 plus the signal's number. A crash or an abort puts the ports back too, then takes its
// usual course. `stop` must outlive the process's run.
// On Windows a closing console, a log-off or a shut-down sets `stop` and waits up to four
// seconds for StopSignalsRunEnded() before it puts the ports back (Windows then ends the
// process); notifyFd is not used there.
void CatchStopSignals(std::atomic<bool>& stop, int notifyFd = -1);

// Puts every open port back as it was found and lets go of its exclusive use; safe in a
// signal handler. The serial backend of the system defines it.
void RestoreOpenPortsNow();

// The run has ended: a closing console need not wait any longer.
void StopSignalsRunEnded();

}  // namespace jqz
