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
