#pragma once
// Serves a virtual programmer on a pseudo-terminal: the PC side opens the path() like any
// serial port. A pseudo-terminal has no modem lines: DSR is on while this server holds the
// other side open, so pulling the cable (DSR off) hangs the terminal up and ends the service.
// The PC's rate is read from the terminal's settings; bytes sent at another rate than the
// programmer's are lost, as on a real line.
#include <atomic>
#include <string>
#include <thread>

#include "sim/virtual_programmer.h"

namespace jqz::sim {

// Opens a pseudo-terminal in packet mode (which shows when the PC flushes its input: the
// PC's port does that to show DTR going down, which a terminal has no line for) and holds its
// PC side open too, raw at 9600 baud, so that it lives between the PC's openings and its
// settings can be read. False with a message when that fails.
bool openPseudoTerminal(int& master, int& slave, std::string& path, std::string& error);

class PtyServer {
public:
    explicit PtyServer(VirtualProgrammer& programmer) : programmer_(programmer) {}
    ~PtyServer();
    PtyServer(const PtyServer&) = delete;
    PtyServer& operator=(const PtyServer&) = delete;

    // Opens the pseudo-terminal; false with a message when that fails.
    bool open(std::string& error);
    // The path the PC opens.
    const std::string& path() const { return path_; }
    // Serves on a thread of its own until stop() or the cable is pulled.
    void start();
    // Serves on the calling thread until stop (or *stopFlag) or the cable is pulled.
    void serve(const std::atomic<bool>* stopFlag = nullptr);
    void stop();
    bool hungUp() const { return hungUp_; }

private:
    int pcRate();
    VirtualProgrammer& programmer_;
    int master_ = -1;
    int slave_ = -1;
    std::string path_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> hungUp_{false};
    std::thread thread_;
};

}  // namespace jqz::sim
