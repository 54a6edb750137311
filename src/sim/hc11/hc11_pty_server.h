#pragma once
// Serves the HC11 model on a pseudo-terminal in real time: the model's clock follows the
// wall clock, the host's bytes go on the line at the rate the host set on the terminal (any
// integer rate, read with termios2), and what the host's receiver decodes from the part's
// TxD is written back. A terminal has no modem lines and carries no break: the part is reset
// into bootstrap mode whenever the host's port shows DTR dropping (it flushes its input, as
// the project's port does on a pseudo-terminal: on opening and for a DTR pulse).
#include <atomic>
#include <string>

#include "sim/hc11/virtual_hc11.h"

namespace jqz::sim {

class Hc11PtyServer {
public:
    explicit Hc11PtyServer(VirtualHc11& part) : part_(part) {}
    ~Hc11PtyServer();
    Hc11PtyServer(const Hc11PtyServer&) = delete;
    Hc11PtyServer& operator=(const Hc11PtyServer&) = delete;

    bool open(std::string& error);
    const std::string& path() const { return path_; }
    // Serves on the calling thread until *stopFlag.
    void serve(const std::atomic<bool>* stopFlag);

private:
    VirtualHc11& part_;
    int master_ = -1;
    int slave_ = -1;
    std::string path_;
};

}  // namespace jqz::sim
