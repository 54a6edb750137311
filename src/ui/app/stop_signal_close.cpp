#include "ui/app/stop_signal_close.h"

#include <QSocketNotifier>
#include <atomic>

#include "core/link/stop_signals.h"
#include "core/platform/stop_events.h"
#include "ui/app/prog_shell.h"

namespace jqz {

namespace {

std::atomic<bool> gStopRequested{false};
// The signal handler writes the signal's number into [1]; the event loop reads it from [0].
int gPipe[2] = {-1, -1};

}  // namespace

void CatchWindowStopSignals() {
    if (gPipe[0] >= 0) return;
    // Without its pipe the signals keep their default action: a first signal that could
    // reach nobody would leave the program running with no way but a second one.
    if (!OpenWakePipe(gPipe)) {
        gPipe[0] = gPipe[1] = -1;
        return;
    }
    CatchStopSignals(gStopRequested, gPipe[1]);
}

void ConnectStopSignals(TProgShell& shell) {
    if (gPipe[0] < 0) return;
    auto* notifier = new QSocketNotifier(gPipe[0], QSocketNotifier::Read, &shell);
    QObject::connect(notifier, &QSocketNotifier::activated, &shell, [&shell, notifier] {
        unsigned char signal = 0;
        if (!ReadWakeByte(gPipe[0], signal)) return;
        notifier->setEnabled(false);
        shell.CloseForSignal(signal);
    });
}

}  // namespace jqz
