#pragma once
// Shared set-up of the link tests: a virtual programmer with short time-outs and a channel
// opened on it.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "core/link/io_dll_r_w.h"
#include "sim/virtual_programmer.h"

namespace jqz::test {

using Bytes = std::vector<std::uint8_t>;

// Waits up to a second for a condition another thread brings about.
template <typename F>
bool eventually(F condition) {
    for (int i = 0; i < 200; ++i) {
        if (condition()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return condition();
}

// The in-process port divides every time-out by this: 2 s become 50 ms.
inline constexpr int kTimeoutDivisor = 40;

// A port opened through another opener whose time-outs are divided, so that a test through
// the termios backend waits out a 30 s time-out in a fraction of it.
class QuickTimeoutsPort final : public SerialPort {
public:
    QuickTimeoutsPort(std::unique_ptr<SerialPort> port, int divisor)
        : port_(std::move(port)), divisor_(divisor) {}
    bool getSettings(LineSettings& s) override { return port_->getSettings(s); }
    bool setSettings(const LineSettings& s) override { return port_->setSettings(s); }
    bool setTimeouts(const PortTimeouts& t) override {
        return port_->setTimeouts({t.readTotalMs / divisor_, t.writeTotalMs / divisor_});
    }
    std::size_t write(const std::uint8_t* d, std::size_t n) override { return port_->write(d, n); }
    std::size_t read(std::uint8_t* d, std::size_t n) override { return port_->read(d, n); }
    bool purge(unsigned flags) override { return port_->purge(flags); }
    bool modemStatus(std::uint32_t& status) override { return port_->modemStatus(status); }
    bool setDtr(bool on) override { return port_->setDtr(on); }
    void setStopFlag(const std::atomic<bool>* flag) override { port_->setStopFlag(flag); }

private:
    std::unique_ptr<SerialPort> port_;
    int divisor_;
};

inline PortOpener quickTimeouts(PortOpener opener, int divisor = kTimeoutDivisor) {
    return [opener = std::move(opener), divisor](const std::string& name) {
        OpenedPort opened = opener(name);
        if (opened.port)
            opened.port = std::make_unique<QuickTimeoutsPort>(std::move(opened.port), divisor);
        return opened;
    };
}

class LinkTest : public ::testing::Test {
protected:
    // Makes the programmer; call before channel() when the options matter.
    sim::VirtualProgrammer& programmer(sim::SimOptions options = {}) {
        if (!programmer_) {
            programmer_ = std::make_unique<sim::VirtualProgrammer>(std::move(options));
            programmer_->setTimeoutDivisor(kTimeoutDivisor);
        }
        return *programmer_;
    }
    IO_DLL_R_W& channel() {
        if (!channel_) {
            channel_ = std::make_unique<IO_DLL_R_W>("Virtual Programmer", programmer().opener(),
                                                    &connected);
            EXPECT_EQ(channel_->TakeLastError(), "");
            programmer_->clearWire();
        }
        return *channel_;
    }
    Bytes fromPc() { return programmer().bytesFromPc(); }
    Bytes toPc() { return programmer().bytesToPc(); }

    std::atomic<bool> connected{true};
    std::unique_ptr<sim::VirtualProgrammer> programmer_;
    std::unique_ptr<IO_DLL_R_W> channel_;

    void TearDown() override { channel_.reset(); }
};

}  // namespace jqz::test
