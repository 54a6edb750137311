#pragma once
// The window program's answer to a stop signal (SIGTERM, SIGHUP, Ctrl+C in the terminal it
// was started from): a close request delivered through the event loop. Nobody may be there
// to answer a question, so none is asked; see TProgShell::CloseForSignal. A second signal
// puts the port back as it was found and ends the program at once. Nothing on Windows.

namespace jqz {

class TProgShell;

// Catches the stop signals from now on. A first one is kept until ConnectStopSignals hands
// it to a window.
void CatchWindowStopSignals();
// Hands the first stop signal, whether it has come already or is still to come, to
// shell.CloseForSignal on the window's thread.
void ConnectStopSignals(TProgShell& shell);

}  // namespace jqz
