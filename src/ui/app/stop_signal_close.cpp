#include "ui/app/stop_signal_close.h"

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <atomic>

#include "core/link/stop_signals.h"
#include "ui/app/prog_shell.h"
#endif

namespace jqz {

#ifndef _WIN32
namespace {

std::atomic<bool> gStopRequested{false};
// The signal handler writes the signal's number into [1]; the event loop reads it from [0].
int gPipe[2] = {-1, -1};

}  // namespace

void CatchWindowStopSignals() {
    if (gPipe[0] >= 0) return;
    // Without its pipe the signals keep their default action: a first signal that could
    // reach nobody would leave the program running with no way but a second one.
    if (::pipe2(gPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
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
        if (::read(gPipe[0], &signal, 1) != 1) return;
        notifier->setEnabled(false);
        shell.CloseForSignal(signal);
    });
}
#else
void CatchWindowStopSignals() {}
void ConnectStopSignals(TProgShell&) {}
#endif

}  // namespace jqz
