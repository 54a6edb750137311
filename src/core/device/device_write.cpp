#include "core/device/device_write.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <string>
#include <vector>

#include "core/device/prog_bar_sim.h"
#include "core/device/sequence_link.h"
#include "core/image/checksum.h"
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

std::string SkippedBlocksLine(int skipped, int blocks) {
    return "Blank blocks not written: " + std::to_string(skipped) + " of " +
           std::to_string(blocks) + ".";
}

std::string VerifySummaryLine(int differing) {
    return "Verify failed: " + std::to_string(differing) +
           (differing == 1 ? " address differs" : " addresses differ");
}

namespace {

std::vector<std::uint8_t> ImageData(const MemoryImage& image) {
    std::vector<std::uint8_t> data(MemoryImage::kCellCount);
    for (int a = 0; a < MemoryImage::kCellCount; ++a) data[static_cast<std::size_t>(a)] = image.ReadData(a);
    return data;
}

}  // namespace

DeviceWriteTh::DeviceWriteTh(SequenceHost& host, COM* com, const DeviceMap& device)
    : SequenceWorker(host, com, device), source_(ImageData(host.image())) {}

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
    auto image = [this](int a) { return source_.at(static_cast<std::size_t>(a)); };
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

    // What the device's EEPROM holds as far as this run knows: blank after an erase, the
    // blocks written, then the blocks read back. Its figures close a successful run.
    std::vector<std::uint8_t> eeprom(static_cast<std::size_t>(blocks * kBlockSize), 0xFF);
    bool eepromKnown = false;
    // Whether those are the bytes read back, or only what was erased and written.
    bool eepromRead = false;
    // Blank blocks may be left out only after an erase of this run that reported no error.
    bool erased = false;

    if (o.EraseEepromOn && !Terminated()) {
        channel.EraseEeprom();
        erased = channel.LastError().empty();
        if (!tolerated()) return;
        eepromKnown = true;
    }

    if (o.ProgramEepromOn && !Terminated()) {
        if (o.ConfProgEnable) {
            channel.WriteByte(device_.configAddress, image(device_.configAddress));
            const std::string error = channel.TakeLastError();
            if (!error.empty() && error != kProgrammingError) {
                link.logError(error);
                return;
            }
            link.log(kConfigProgrammed, LogNotice);
        }
        gauge.setMaximum(blocks);
        gauge.setPosition(0);
        const bool skipBlank = erased && o.SkipBlankBlocks;
        int skipped = 0;
        for (int a = device_.eepromStart; a <= device_.eepromEnd && !Terminated(); a += kBlockSize) {
            std::uint8_t* block = eeprom.data() + (a - device_.eepromStart);
            for (int i = 0; i < kBlockSize; ++i) block[i] = image(a + i);
            if (skipBlank && std::all_of(block, block + kBlockSize,
                                         [](std::uint8_t b) { return b == 0xFF; })) {
                ++skipped;
            } else {
                channel.WriteBlock(a, block);
                if (!tolerated()) return;
            }
            gauge.stepBy(1);
        }
        eepromKnown = true;
        if (skipped > 0) link.log(SkippedBlocksLine(skipped, blocks), LogInfo);
    }

    if (o.VerifyEepromOn && !Terminated()) {
        gauge.setMaximum(blocks);
        gauge.setPosition(0);
        const bool erasedCheck = o.EraseEepromOn && !o.ProgramEepromOn;
        int differing = 0;
        std::array<std::uint8_t, kBlockSize + 1> buffer{};
        for (int a = device_.eepromStart; a <= device_.eepromEnd && !Terminated(); a += kBlockSize) {
            channel.ReadBlock(a, buffer);
            if (!link.Check()) return;
            std::copy_n(buffer.begin(), kBlockSize, eeprom.begin() + (a - device_.eepromStart));
            for (int i = 0; i < kBlockSize && !Terminated(); ++i) {
                const std::uint8_t expected = erasedCheck ? 0xFF : image(a + i);
                if (buffer[i] != expected) {
                    link.log(VerifyErrorLine(a + i), LogError);
                    failed = true;
                    ++differing;
                }
            }
            gauge.stepBy(1);
        }
        if (differing > 0) link.log(VerifySummaryLine(differing), LogError);
        eepromKnown = true;
        eepromRead = true;
    }

    if (link.inCircuit() && !Terminated()) channel.PowerOff();
    // One look at the stop request for both, so that a success line always goes with a
    // completed run.
    if (Terminated()) return;
    if (!failed) {
        if (eepromKnown)
            host_.log().AddChecksumLine({kEepromRange, device_.eepromStart, device_.eepromEnd,
                                         ChecksumsOf(eeprom),
                                         eepromRead ? "" : kAsWrittenNotVerified});
        link.log(kProgramCompleted, LogInfo);
    }
    setReturnValue(0);
}

}  // namespace jqz
