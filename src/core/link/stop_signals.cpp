#include "core/link/stop_signals.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <thread>

#include "core/platform/stop_events.h"

namespace jqz {

namespace {

// Set before any handler is installed, read only by the handlers.
std::atomic<bool>* gStop = nullptr;
int gNotifyFd = -1;
std::atomic<bool> gRunEnded{false};

// How long a closing console waits for the stopped run to end; Windows ends the process
// itself some seconds after the close event.
constexpr int kCloseGraceMs = 4000;

extern "C" void onStopSignal(int signal) {
    if (gStop->exchange(true)) {
        static const char kLine[] = "\nStopped again: exiting at once.\n";
        RestoreOpenPortsNow();
        WriteFromSignalHandler(2, kLine, sizeof kLine - 1);
        std::_Exit(128 + signal);
    }
    if (gNotifyFd >= 0) {
        const unsigned char byte = static_cast<unsigned char>(signal);
        WriteFromSignalHandler(gNotifyFd, &byte, 1);
    }
}

// The console closes, the user logs off, the system shuts down: the process ends once this
// returns. The run is stopped and given the time it takes to end as after Ctrl+C; the ports
// are put back in any case.
void onClosing() {
    if (!gStop->exchange(true))
        for (int waited = 0; waited < kCloseGraceMs && !gRunEnded; waited += 20)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
    RestoreOpenPortsNow();
}

extern "C" void onFatalSignal(int signal) {
    RestoreOpenPortsNow();
    (void)std::raise(signal);  // the handler was reset: the default action now
}

}  // namespace

void CatchStopSignals(std::atomic<bool>& stop, int notifyFd) {
    gStop = &stop;
    gNotifyFd = notifyFd;
    InstallStopHandlers({onStopSignal, onClosing, onFatalSignal});
}

void StopSignalsRunEnded() { gRunEnded = true; }

}  // namespace jqz
