#pragma once
// Shared set-up of the sequence and firmware update tests: a host that records what the
// window would show (log, gauge, the end of a run), a connection to the in-process virtual
// programmer with short time-outs, and the request bytes of the commands, to hold the wire
// against.
#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>

#include "recording_host.h"
#include "core/device/device_image_reset.h"
#include "core/device/device_read.h"
#include "core/device/device_write.h"
#include "core/device/sequence_host.h"
#include "core/device/sequence_link.h"
#include "core/device/supported_device_list.h"
#include "core/image/hex_edit_model.h"
#include "core/link/connection.h"
#include "core/device/firmware_update.h"
#include "link_fixture.h"

namespace jqz::test {

// The request bytes the PC sends for each command, status requests included.
namespace req {
inline std::uint8_t inv(unsigned x) { return static_cast<std::uint8_t>(~x & 0xFF); }
inline std::uint8_t hi(int a) { return static_cast<std::uint8_t>(a >> 8); }
inline std::uint8_t lo(int a) { return static_cast<std::uint8_t>(a); }
inline Bytes cat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}
inline Bytes text(std::uint8_t command, const std::string& t) {
    Bytes b(t.size() + 3);
    b[0] = command;
    std::copy(t.begin(), t.end(), b.begin() + 1);
    b[t.size() + 1] = 0x00;
    b[t.size() + 2] = 0x02;
    return b;
}
// Identification, mode, pin-tester options, device type, link.
inline Bytes checksAndLink(std::uint8_t flags, std::uint8_t type) {
    return {0x06, 0x05, 0x08, flags, inv(flags), 0x02, 0x01, type, inv(type), 0x02, 0x16, 0xE9, 0x02};
}
inline Bytes interfaceAndId() { return {0x07, 0x15}; }
inline Bytes erase() { return text(0x14, "ERASE ENABLED"); }
inline Bytes powerOff() { return text(0x09, "POWER OFF"); }
inline Bytes writeByte(int a, std::uint8_t v) {
    return {0x12, hi(a), lo(a), v, inv(hi(a) + lo(a) + v), 0x02};
}
inline Bytes writeBlock(int a, const std::uint8_t* data) {
    Bytes b{0x13, hi(a), lo(a)};
    unsigned sum = hi(a) + lo(a);
    for (int i = 0; i < 128; ++i) {
        b.push_back(data[i]);
        sum += data[i];
    }
    b.push_back(inv(sum));
    b.push_back(0x02);
    return b;
}
inline Bytes readBlock(int a) { return {0x11, hi(a), lo(a), inv(hi(a) + lo(a)), 0x02}; }
inline Bytes readByte(int a) { return {0x10, hi(a), lo(a), inv(hi(a) + lo(a)), 0x02}; }
}  // namespace req

inline constexpr const char* kE9 = "MC68HC11  E9 (E28B)";
inline constexpr const char* kE20 = "MC68HC711 E20(1H19S)";
inline constexpr const char* kA8 = "MC68HC11  A8 (AB95T)";

using Lines = std::vector<std::string>;

inline Lines operator+(Lines a, const Lines& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Stored log lines: '0' info, '1' notice, '2' error, then the text.
inline std::string infoLine(const std::string& t) { return "0" + t; }
inline std::string noticeLine(const std::string& t) { return "1" + t; }
inline std::string errorLine(const std::string& t) { return "2" + t; }

class SequenceTest : public ::testing::Test {
public:
    sim::VirtualProgrammer& programmer(sim::SimOptions options = {}) {
        if (!vp_) {
            vp_ = std::make_unique<sim::VirtualProgrammer>(std::move(options));
            vp_->setTimeoutDivisor(kTimeoutDivisor);
        }
        return *vp_;
    }
    // Creates the connection (which detects) and forgets the detection's bytes and lines.
    COM& connect(int rate = 57600) {
        host.com.reset();
        host.com = std::make_unique<COM>("Virtual Programmer", rate, programmer().opener());
        programmer().clearWire();
        return *host.com;
    }
    // Selects a device as the Device ID field does: the image is reset to its map.
    void selectDevice(const std::string& name) {
        host.deviceList.selectDevice(name);
        ResetImageForDevice(host.model, host.deviceList);
    }
    sim::TargetMcu& target() {
        return *programmer().with(
            [this](sim::ProgrammerModel& m) { return m.target(host.deviceList.deviceType); });
    }
    // Runs a sequence to its end and gives its return value.
    int runProgram() {
        writer.Start();
        return writer.WaitFor();
    }
    int runRead() {
        reader.Start();
        return reader.WaitFor();
    }
    std::vector<std::string> log() { return host.logModel.storedLines(); }
    Bytes fromPc() { return programmer().bytesFromPc(); }
    std::vector<std::uint8_t> imageData(int from, int to) {
        std::vector<std::uint8_t> d;
        for (int a = from; a <= to; ++a) d.push_back(host.model.image.ReadData(a));
        return d;
    }
    std::vector<std::uint8_t> allData() { return imageData(0, 0xFFFF); }
    std::vector<std::uint8_t> targetData(int from, int to) {
        return programmer().with([&](sim::ProgrammerModel& m) {
            std::vector<std::uint8_t> d;
            sim::TargetMcu* t = m.target(host.deviceList.deviceType);
            for (int a = from; a <= to; ++a) d.push_back(t->read(a));
            return d;
        });
    }
    // Calls request (a stop request) when the PC sends its next byte after these, counted
    // from now. It runs on the worker's thread, while the byte goes out.
    void stopAfter(const Bytes& before, std::function<void()> request) {
        programmer().with([n = before.size(), request](sim::ProgrammerModel& m) {
            m.onWire = [n, request, sent = std::size_t{0}](const sim::WireByte& w) mutable {
                if (w.fromPc && sent++ == n) request();
            };
            return 0;
        });
    }
    // Holds the worker at the PC's next byte after these, counted from now, until letGo():
    // the test's thread then acts as the user would while the run waits between two commands.
    void pauseAt(const Bytes& before) {
        programmer().with([this, n = before.size()](sim::ProgrammerModel& m) {
            m.onWire = [this, n, sent = std::size_t{0}](const sim::WireByte& w) mutable {
                if (!w.fromPc || sent++ != n) return;
                std::unique_lock lock(pauseMutex_);
                paused_ = true;
                pauseChanged_.notify_all();
                pauseChanged_.wait_for(lock, std::chrono::seconds(10), [this] { return released_; });
            };
            return 0;
        });
    }
    void waitForPause() {
        std::unique_lock lock(pauseMutex_);
        ASSERT_TRUE(pauseChanged_.wait_for(lock, std::chrono::seconds(10), [this] { return paused_; }))
            << "the run did not reach the pause";
    }
    void letGo() {
        std::lock_guard lock(pauseMutex_);
        released_ = true;
        pauseChanged_.notify_all();
    }

    // The positions the gauge took with this maximum, repeats left out.
    std::vector<int> gaugePositions(int maximum) {
        std::vector<int> positions;
        for (const auto& [m, p] : host.gaugeChanges())
            if (m == maximum && (positions.empty() || positions.back() != p)) positions.push_back(p);
        return positions;
    }
    // What every run leaves behind: the start button released once, after the gauge went
    // back to 0 and before the link was given free; the link idle again.
    void expectCommonEnd(SequenceKind kind) {
        EXPECT_EQ(host.ended(kind), 1);
        EXPECT_EQ(host.endedAtGauge(), 0);
        EXPECT_EQ(host.gaugeModel.position(), 0);
        ASSERT_TRUE(host.com);
        EXPECT_TRUE(host.com->Idle);
    }

    std::unique_ptr<sim::VirtualProgrammer> vp_;
    RecordingHost host;
    DeviceWrite writer{host};
    DeviceRead reader{host};
    FirmwareUpdate update{host};

private:
    std::mutex pauseMutex_;
    std::condition_variable pauseChanged_;
    bool paused_ = false;
    bool released_ = false;

public:

    void TearDown() override {
        letGo();
        writer.Stop();
        reader.Stop();
        update.Stop();
        host.com.reset();
    }
};

}  // namespace jqz::test
