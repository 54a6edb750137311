#include "core/device/device_write.h"

#include <array>
#include <cstdio>

#include "core/device/prog_bar_sim.h"
#include "core/device/sequence_link.h"
#include "core/link/connection.h"

namespace jqz {

namespace {
constexpr int kBlockSize = 128;
}

std::string VerifyErrorLine(int address) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%05X", static_cast<unsigned>(address));
    return std::string(kVerifyErrorAt) + digits;
}

void DeviceWriteTh::Execute() {
    setReturnValue(1);
    bool failed = false;
    ProgBarSimTh simulation(host_.gauge(), kProgramSimFactor);
    SequenceLink link(com_, host_.log());
    run(link, simulation, failed);
    simulation.Stop();
    host_.gauge().setPosition(0);
    announceEnd(SequenceKind::Program);
}

void DeviceWriteTh::run(SequenceLink& link, ProgBarSimTh& simulation, bool& failed) {
    const SequenceOptions& o = host_.options();
    MemoryImage& image = host_.image();
    ProgressGauge& gauge = host_.gauge();
    if (!link.ConnectAndLink(o, device_.deviceType)) return;
    link.log(kProgramInProgress, LogInfo);

    const bool erase = o.EraseEepromOn, program = o.ProgramEepromOn, verify = o.VerifyEepromOn;
    if (erase || program || verify) {
        std::string summary = "EEPROM  ";
        if (erase) summary += "Erase ";
        if (program) summary += "Program ";
        if (verify) summary += "Verify ";
        link.log(summary + "selected.", LogInfo);
    }
    if (!link.ReportInterface()) return;
    simulation.Stop();

    IO_DLL_R_W& channel = link.channel();
    // A tolerated error marks the run failed and lets it go on; any other ends it.
    auto tolerated = [&] {
        const std::string error = channel.TakeLastError();
        if (error.empty()) return true;
        link.logError(error);
        failed = true;
        return error == kProgrammingError;
    };
    const int blocks = (device_.eepromEnd - device_.eepromStart) / kBlockSize + 1;

    if (o.EraseEepromOn && !Terminated()) {
        channel.EraseEeprom();
        if (!tolerated()) return;
    }

    if (o.ProgramEepromOn && !Terminated()) {
        if (o.ConfProgEnable) {
            channel.WriteByte(device_.configAddress, image.ReadData(device_.configAddress));
            const std::string error = channel.TakeLastError();
            if (!error.empty() && error != kProgrammingError) {
                link.logError(error);
                return;
            }
            link.log(kConfigProgrammed, LogNotice);
        }
        gauge.setMaximum(blocks);
        gauge.setPosition(0);
        std::array<std::uint8_t, kBlockSize> block{};
        for (int a = device_.eepromStart; a <= device_.eepromEnd && !Terminated(); a += kBlockSize) {
            for (int i = 0; i < kBlockSize; ++i) block[i] = image.ReadData(a + i);
            channel.WriteBlock(a, block.data());
            if (!tolerated()) return;
            gauge.stepBy(1);
        }
    }

    if (o.VerifyEepromOn && !Terminated()) {
        gauge.setMaximum(blocks);
        gauge.setPosition(0);
        const bool erasedCheck = o.EraseEepromOn && !o.ProgramEepromOn;
        std::array<std::uint8_t, kBlockSize + 1> buffer{};
        for (int a = device_.eepromStart; a <= device_.eepromEnd && !Terminated(); a += kBlockSize) {
            channel.ReadBlock(a, buffer);
            if (!link.Check()) return;
            for (int i = 0; i < kBlockSize && !Terminated(); ++i) {
                const std::uint8_t expected = erasedCheck ? 0xFF : image.ReadData(a + i);
                if (buffer[i] != expected) {
                    link.log(VerifyErrorLine(a + i), LogError);
                    failed = true;
                }
            }
            gauge.stepBy(1);
        }
    }

    if (link.inCircuit() && !Terminated()) channel.PowerOff();
    // One look at the stop request for both, so that a success line always goes with a
    // completed run.
    if (Terminated()) return;
    if (!failed) link.log(kProgramCompleted, LogInfo);
    setReturnValue(0);
}

}  // namespace jqz
