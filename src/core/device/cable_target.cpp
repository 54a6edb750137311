#include "core/device/cable_target.h"

#include <cstring>
#include <utility>
#include <vector>

#include "core/device/cable_operations.h"
#include "core/device/sequence_link.h"
#include "core/link/talker_protocol.h"

namespace jqz {

namespace {

int baudOf(const LinkChoice& c) { return BootBaudRate(c.boot.xtalMHz, c.boot.rate); }

class CableSession final : public TargetSession {
public:
    CableSession(CableTarget& target, const DeviceMap& device, LogSink& log)
        : target_(target), device_(device), log_(log) {}

    bool Link(const SequenceOptions&) override {
        if (device_.deviceType == 0) return fail(kSelectDeviceFirst);
        std::string why;
        const auto part = BootPartOfDevice(device_.name, &why);
        if (!part) return fail(device_.name + ": " + why);
        // Refused before the port is opened: entering bootstrap mode erases a secured part.
        if (part->secured && !target_.confirmed())
            return fail(device_.name + " is secured: entering bootstrap mode erases its EEPROM "
                                       "and CONFIG. Nothing was sent.");
        log_.AddLogLine(kLinkingDevice, LogInfo);
        opened_ = target_.openPort(*part);
        if (!opened_.port)
            return fail("The port " + target_.portName() + " does not open: " +
                        std::string(std::strerror(opened_.error)));
        opened_.port->setStopFlag(&target_.stopFlag());
        const LinkChoice& c = target_.choice();
        link_ = std::make_unique<BootstrapLink>(*opened_.port, *part, c.boot);
        const bool byHand = c.boot.reset == BootReset::None && c.resetPrompt;
        if (byHand) c.resetPrompt(true);
        const bool started = link_->Start(target_.confirmed());
        if (byHand) c.resetPrompt(false);
        return started || fail(link_->error());
    }

    bool ReportIdentity() override {
        const LinkChoice& c = target_.choice();
        log_.AddLogLine("Bootstrap cable on " + c.port + ", " + std::to_string(link_->baudRate()) +
                            " baud (" + XtalText(c.boot.xtalMHz) + " MHz crystal): talker \"" +
                            talker::kIdentityText + "\" running on the " + link_->part().family,
                        LogInfo);
        std::uint8_t config = 0;
        if (!ReadConfig(config)) return false;
        log_.AddLogLine(ConfigText(config), LogInfo);
        log_.AddLogLine("What the cable does with the " + link_->part().family + ": " +
                            CableAbilitiesText(link_->part()),
                        LogInfo);
        eepromOn_ = (config & kConfigEeon) != 0;
        return true;
    }

    StepResult EraseEeprom() override {
        if (!eepromReachable()) return StepResult::Ended;
        std::uint8_t back = 0;
        if (!link_->ClearBprot() ||
            !link_->EepromCycle(static_cast<std::uint16_t>(device_.eepromStart), 0xFF,
                                talker::kErase, back))
            return ended(link_->error());
        return StepResult::Done;
    }

    StepResult WriteConfig(std::uint8_t value) override {
        const auto at = static_cast<std::uint16_t>(device_.configAddress);
        std::uint8_t back = 0;
        // CONFIG reads as it was latched at reset, not as its cell holds it now: the cell is
        // erased and programmed whatever it reads, the cycles checked by their replies, the
        // value by a read after the next reset.
        if (!link_->ClearBprot() || !link_->EepromCycle(at, 0xFF, talker::kErase, back) ||
            (value != 0xFF && !link_->EepromCycle(at, value, 0, back)))
            return ended(link_->error());
        log_.AddLogLine("CONFIG " + HexByteText(value) +
                            " written; it takes effect, and reads back, at the next reset.",
                        LogInfo);
        configWritten_ = true;
        target_.NoteConfigSeen(value);
        if ((value & kConfigNosec) == 0)
            log_.AddLogLine("NOSEC is programmed: the next entry into bootstrap mode erases the "
                            "EEPROM and CONFIG.",
                            LogNotice);
        return StepResult::Done;
    }

    StepResult ProgramEeprom(std::span<const std::uint8_t> cells, bool, bool,
                             RunControl& control) override {
        if (!eepromReachable()) return StepResult::Ended;
        const int count = static_cast<int>(cells.size());
        control.gauge.setMaximum(count);
        control.gauge.setPosition(0);
        CableWriteReport report;
        std::string error;
        const bool done = CableProgram(
            *link_, static_cast<std::uint16_t>(device_.eepromStart), cells, true, report, error,
            [&control](int d, int) { control.gauge.setPosition(d); },
            [&control, this] { return control.stopped() || target_.StopRequested(); });
        if (!done) return ended(error + " (" + report.text() + ")");
        log_.AddLogLine(report.text(), LogInfo);
        return StepResult::Done;
    }

    bool ProgramVerifies() const override { return true; }

    int VerifyBlockSize() const override { return 256; }
    bool ReadBack(int address, std::span<const std::uint8_t> expected,
                  std::span<std::uint8_t> actual) override {
        if (!eepromReachable()) return false;
        const auto at = static_cast<std::uint16_t>(address);
        std::vector<std::uint16_t> crc;
        if (!link_->Crc(at, 1, static_cast<int>(actual.size()), crc)) return fail(link_->error());
        if (crc[0] == Crc16Ccitt(expected)) {
            std::copy(expected.begin(), expected.end(), actual.begin());
            return true;
        }
        return Read(address, actual);
    }

    int ReadBlockSize() const override { return 256; }
    bool Read(int address, std::span<std::uint8_t> out) override {
        return link_->Read(static_cast<std::uint16_t>(address), out) || fail(link_->error());
    }

    bool ReadConfig(std::uint8_t& value) override {
        if (!Read(device_.configAddress, std::span(&value, 1))) return false;
        // After a write this run reads CONFIG as latched at its reset, not as the cell now is.
        if (!configWritten_) target_.NoteConfigSeen(value);
        return true;
    }

    void Finish() override {}

private:
    // An error's line; none once a stop was requested (the stop's doing: the run ends with its
    // interrupted line alone).
    bool fail(const std::string& text) {
        if (!target_.StopRequested()) log_.AddLogLine(text, LogError);
        return false;
    }
    StepResult ended(const std::string& text) {
        fail(text);
        return StepResult::Ended;
    }
    // With EEON clear the EEPROM is out of the memory map: it can be neither read nor written
    // (CONFIG still can, and takes effect at the next reset).
    bool eepromReachable() {
        if (eepromOn_) return true;
        return fail("The part's EEPROM is switched off (EEON 0 in CONFIG): program CONFIG with "
                    "EEON set, reset the board, then start again.");
    }

    CableTarget& target_;
    const DeviceMap device_;
    LogSink& log_;
    OpenedPort opened_;
    std::unique_ptr<BootstrapLink> link_;
    bool eepromOn_ = true;
    bool configWritten_ = false;
};

}  // namespace

CableTarget::CableTarget(LinkChoice choice, CablePortOpener opener)
    : choice_(std::move(choice)), opener_(std::move(opener)) {}

std::string CableTarget::logLine() const {
    return "Bootstrap cable on " + choice_.port + ", " + std::to_string(baudOf(choice_)) +
           " baud (" + XtalText(choice_.boot.xtalMHz) + " MHz crystal)";
}

std::string CableTarget::statusLine() const {
    return "Bootstrap cable: " + choice_.port + ", " + std::to_string(baudOf(choice_)) +
           " baud, " + XtalText(choice_.boot.xtalMHz) + " MHz";
}

LinkAbility CableTarget::Can(TargetAction action, const std::string& deviceName) const {
    if (action == TargetAction::FirmwareUpdate)
        return {false, "The bootstrap cable has no firmware: the update is the programmer's."};
    if (action == TargetAction::PinTester) return {false, "The bootstrap cable has no pin tester"};
    if (action == TargetAction::SkipBlankBlocks)
        return {false,
                "Over the bootstrap cable every write skips the bytes that are already right"};
    std::string why;
    const auto part = BootPartOfDevice(deviceName, &why);
    if (!part) return {false, why};
    switch (action) {
        case TargetAction::EraseEprom:
        case TargetAction::ProgramEprom:
        case TargetAction::VerifyEprom:
            return {false, part->eprom ? std::string(kEpromNeeds12V)
                                       : "A mask ROM is written at the factory."};
        default:
            return {};
    }
}

std::string CableTarget::QuestionBeforeRun(const std::string& deviceName) const {
    const auto part = BootPartOfDevice(deviceName, nullptr);
    return part && part->secured ? kSecuredQuestion : "";
}

std::optional<std::uint8_t> CableTarget::ConfigSeen() const {
    const int seen = configSeen_.load();
    if (seen < 0) return std::nullopt;
    return static_cast<std::uint8_t>(seen);
}

std::unique_ptr<TargetSession> CableTarget::OpenSession(const DeviceMap& device, LogSink& log) {
    return std::make_unique<CableSession>(*this, device, log);
}

}  // namespace jqz
