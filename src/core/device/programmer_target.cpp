#include "core/device/programmer_target.h"

#include <algorithm>
#include <array>

#include "core/device/device_write.h"
#include "core/device/sequence_link.h"
#include "core/link/connection.h"

namespace jqz {

namespace {

constexpr int kBlockSize = 128;

class ProgrammerSession final : public TargetSession {
public:
    ProgrammerSession(COM* com, const DeviceMap& device, LogSink& log)
        : link_(com, log), device_(device) {}

    bool Link(const SequenceOptions& options) override {
        return link_.ConnectAndLink(options, device_.deviceType);
    }
    bool ReportIdentity() override { return link_.ReportInterface(); }

    StepResult EraseEeprom() override {
        link_.channel().EraseEeprom();
        return tolerated();
    }

    StepResult WriteConfig(std::uint8_t value) override {
        link_.channel().WriteByte(device_.configAddress, value);
        // A programming error of the CONFIG cell is let pass without a line.
        const std::string error = link_.channel().TakeLastError();
        if (!error.empty() && error != kProgrammingError) {
            link_.logError(error);
            return StepResult::Ended;
        }
        return StepResult::Done;
    }

    StepResult ProgramEeprom(std::span<const std::uint8_t> cells, bool erased, bool skipBlank,
                             RunControl& control) override {
        const int blocks = (device_.eepromEnd - device_.eepromStart) / kBlockSize + 1;
        control.gauge.setMaximum(blocks);
        control.gauge.setPosition(0);
        const bool leaveBlank = erased && skipBlank;
        int skipped = 0;
        bool failed = false;
        std::array<std::uint8_t, kBlockSize> block{};
        for (int a = device_.eepromStart; a <= device_.eepromEnd && !control.stopped();
             a += kBlockSize) {
            const auto offset = static_cast<std::size_t>(a - device_.eepromStart);
            for (std::size_t i = 0; i < block.size(); ++i)
                block[i] = offset + i < cells.size() ? cells[offset + i] : 0xFF;
            if (leaveBlank &&
                std::all_of(block.begin(), block.end(), [](std::uint8_t b) { return b == 0xFF; })) {
                ++skipped;
            } else {
                link_.channel().WriteBlock(a, block.data());
                const StepResult r = tolerated();
                if (r == StepResult::Ended) return r;
                failed = failed || r == StepResult::Failed;
            }
            control.gauge.stepBy(1);
        }
        if (skipped > 0) link_.log(SkippedBlocksLine(skipped, blocks), LogInfo);
        return failed ? StepResult::Failed : StepResult::Done;
    }

    int VerifyBlockSize() const override { return kBlockSize; }
    bool ReadBack(int address, std::span<const std::uint8_t>,
                  std::span<std::uint8_t> actual) override {
        return Read(address, actual);
    }

    int ReadBlockSize() const override { return kBlockSize; }
    bool Read(int address, std::span<std::uint8_t> out) override {
        std::array<std::uint8_t, kBlockSize + 1> buffer{};
        link_.channel().ReadBlock(address, buffer);
        if (!link_.Check()) return false;
        std::copy_n(buffer.begin(), std::min<std::size_t>(out.size(), kBlockSize), out.begin());
        return true;
    }

    bool ReadConfig(std::uint8_t& value) override {
        value = link_.channel().ReadByte(device_.configAddress);
        return link_.Check();
    }

    void Finish() override {
        if (link_.inCircuit()) link_.channel().PowerOff();
    }

private:
    // The programmer's one tolerated error (programming/erasing) lets the run go on failed;
    // any other ends it.
    StepResult tolerated() {
        const std::string error = link_.channel().TakeLastError();
        if (error.empty()) return StepResult::Done;
        link_.logError(error);
        return error == kProgrammingError ? StepResult::Failed : StepResult::Ended;
    }

    SequenceLink link_;
    const DeviceMap device_;
};

}  // namespace

ProgrammerTarget::ProgrammerTarget(COM* com) : com_(com) {}
ProgrammerTarget::ProgrammerTarget(std::unique_ptr<COM> owned)
    : owned_(std::move(owned)), com_(owned_.get()) {}
ProgrammerTarget::~ProgrammerTarget() = default;

std::string ProgrammerTarget::portName() const { return com_ ? com_->PortName : std::string(); }

std::string ProgrammerTarget::statusLine() const {
    if (!com_) return "Port: ";
    return "Port: " + com_->PortName + "   " + std::to_string(com_->BaudRate) + " baud";
}

std::unique_ptr<TargetSession> ProgrammerTarget::OpenSession(const DeviceMap& device,
                                                             LogSink& log) {
    return std::make_unique<ProgrammerSession>(com_, device, log);
}

bool ProgrammerTarget::Idle() const { return !com_ || com_->Idle.load(); }

void ProgrammerTarget::MarkBusy() {
    if (!com_) return;
    com_->Idle = false;
    com_->StopRequested = false;
}

void ProgrammerTarget::MarkIdle() {
    if (com_) com_->Idle = true;
}

void ProgrammerTarget::RequestStop() {
    if (com_) com_->StopRequested = true;
}

void ProgrammerTarget::ClearStop() {
    if (com_) com_->StopRequested = false;
}

bool ProgrammerTarget::StopRequested() const { return com_ && com_->StopRequested.load(); }

void ProgrammerTarget::AfterInterruption() {
    if (!com_) return;
    if (IO_DLL_R_W* channel = com_->channel()) {
        channel->ResetProgrammer();
        channel->DrainInput();
    }
    com_->Connected = false;
}

std::unique_ptr<TargetLink> MakeProgrammerLink(COM* connection) {
    return std::make_unique<ProgrammerTarget>(connection);
}

}  // namespace jqz
