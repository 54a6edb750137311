#pragma once
// The bootstrap cable as a TargetLink: each run opens the port, resets the part into bootstrap
// mode as wired (or waits for the user's reset), downloads the talker and speaks its protocol
// through BootstrapLink; the EEPROM is written with the smart write (cable_operations.h),
// which verifies what it writes, and verified by CRC, reading back only a block that differs.
#include <atomic>
#include <memory>

#include "core/device/target_link.h"

namespace jqz {

class CableTarget final : public TargetLink {
public:
    CableTarget(LinkChoice choice, CablePortOpener opener);

    LinkKind kind() const override { return LinkKind::BootstrapCable; }
    std::string portName() const override { return choice_.port; }
    std::string logLine() const override;
    std::string statusLine() const override;
    LinkAbility Can(TargetAction action, const std::string& deviceName) const override;
    std::string QuestionBeforeRun(const std::string& deviceName) const override;
    void SetConfirmed(bool yes) override { confirmed_ = yes; }
    std::optional<std::uint8_t> ConfigSeen() const override;
    void ForgetConfigSeen() override { configSeen_ = -1; }
    void NoteConfigSeen(std::uint8_t value) { configSeen_ = value; }
    std::unique_ptr<TargetSession> OpenSession(const DeviceMap& device, LogSink& log) override;

    bool Idle() const override { return idle_.load(); }
    void MarkBusy() override {
        idle_ = false;
        stop_ = false;
    }
    void MarkIdle() override { idle_ = true; }
    void RequestStop() override { stop_ = true; }
    void ClearStop() override { stop_ = false; }
    bool StopRequested() const override { return stop_.load(); }
    // The run's port closed with its session: nothing is left to undo.
    void AfterInterruption() override {}

    const LinkChoice& choice() const { return choice_; }
    bool confirmed() const { return confirmed_.load(); }
    const std::atomic<bool>& stopFlag() const { return stop_; }
    OpenedPort openPort(const BootPart& part) const { return opener_(choice_.port, part); }

private:
    LinkChoice choice_;
    CablePortOpener opener_;
    std::atomic<bool> confirmed_{false};
    std::atomic<int> configSeen_{-1};  // -1: none
    std::atomic<bool> idle_{true};
    std::atomic<bool> stop_{false};
};

}  // namespace jqz
