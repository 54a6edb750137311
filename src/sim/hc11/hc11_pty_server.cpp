#include "sim/hc11/hc11_pty_server.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <vector>

#include "sim/hc11/line_rate.h"
#include "sim/hc11/machine.h"
#include "sim/pty_server.h"

namespace jqz::sim {

Hc11PtyServer::~Hc11PtyServer() {
    if (slave_ >= 0) ::close(slave_);
    if (master_ >= 0) ::close(master_);
}

bool Hc11PtyServer::open(std::string& error) {
    return openPseudoTerminal(master_, slave_, path_, error);
}

void Hc11PtyServer::serve(const std::atomic<bool>* stopFlag) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    const long long startCycle = part_.with([](hc11::Machine& m) { return m.cycle(); });
    std::uint8_t buffer[512];
    std::vector<std::uint8_t> out;
    while (!(stopFlag && *stopFlag)) {
        pollfd p{master_, POLLIN, 0};
        const bool readable = ::poll(&p, 1, 1) > 0 && (p.revents & POLLIN);
        ssize_t n = readable ? ::read(master_, buffer, sizeof buffer) : 0;
        const int rate = hc11::terminalOutputRate(slave_);
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        out.clear();
        bool reset = false;
        part_.with([&](hc11::Machine& m) {
            if (rate > 0) m.setHostBaud(rate);
            m.runUntil(startCycle + static_cast<long long>(seconds * m.eHz()));
            if (n > 0 && buffer[0] == TIOCPKT_DATA) {
                m.hostWrite(buffer + 1, static_cast<std::size_t>(n - 1), m.hostBaud());
            } else if (n > 0 && (buffer[0] & TIOCPKT_FLUSHREAD)) {
                reset = true;
            }
            auto& rx = m.hostReceived();
            for (const hc11::HostByte& b : rx) out.push_back(b.value);
            rx.clear();
            return 0;
        });
        if (reset) part_.pressReset();
        std::size_t done = 0;
        while (done < out.size()) {
            const ssize_t w = ::write(master_, out.data() + done, out.size() - done);
            if (w <= 0) break;
            done += static_cast<std::size_t>(w);
        }
    }
}

}  // namespace jqz::sim
