#include "core/device/device_write.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "core/device/prog_bar_sim.h"
#include "core/device/target_link.h"
#include "core/image/checksum.h"

namespace jqz {

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

DeviceWriteTh::DeviceWriteTh(SequenceHost& host, TargetLink& target, const DeviceMap& device)
    : SequenceWorker(host, target, device), source_(ImageData(host.image())) {}

void DeviceWriteTh::Execute() {
    setReturnValue(1);
    bool failed = false;
    ProgBarSimTh simulation(host_.gauge(), kProgramSimFactor);
    {
        const std::unique_ptr<TargetSession> session = target_.OpenSession(device_, host_.log());
        run(*session, simulation, failed);
    }
    simulation.Stop();
    host_.gauge().setPosition(0);
    announceEnd(SequenceKind::Program);
}

void DeviceWriteTh::run(TargetSession& session, ProgBarSimTh& simulation, bool& failed) {
    const SequenceOptions& o = host_.options();
    LogSink& log = host_.log();
    auto image = [this](int a) { return source_.at(static_cast<std::size_t>(a)); };
    ProgressGauge& gauge = host_.gauge();
    if (!session.Link(o)) return;
    log.AddLogLine(kProgramInProgress, LogInfo);

    const bool erase = o.EraseEepromOn, program = o.ProgramEepromOn, verify = o.VerifyEepromOn;
    if (erase || program || verify) {
        std::string summary = "EEPROM  ";
        if (erase) summary += "Erase ";
        if (program) summary += "Program ";
        if (verify) summary += "Verify ";
        log.AddLogLine(summary + "selected.", LogInfo);
    }
    if (!session.ReportIdentity()) return;
    simulation.Stop();

    const int first = device_.eepromStart, last = device_.eepromEnd;
    // What the device's EEPROM holds as far as this run knows: blank after an erase, the
    // image's bytes once written, then the bytes read back. Its figures close a successful
    // run.
    std::vector<std::uint8_t> eeprom(static_cast<std::size_t>(last - first + 1), 0xFF);
    bool eepromKnown = false;
    // Whether those are the bytes read back, or only what was erased and written.
    bool eepromRead = false;
    // Blank blocks may be left out only after an erase of this run that reported no error.
    bool erased = false;
    // A tolerated error marks the run failed and lets it go on; any other ends it.
    const auto goOn = [&failed](StepResult r) {
        if (r != StepResult::Done) failed = true;
        return r != StepResult::Ended;
    };

    if (o.EraseEepromOn && !Terminated()) {
        const StepResult r = session.EraseEeprom();
        erased = r == StepResult::Done;
        if (!goOn(r)) return;
        eepromKnown = true;
    }

    if (o.ProgramEepromOn && !Terminated()) {
        if (o.ConfProgEnable) {
            if (session.WriteConfig(image(device_.configAddress)) == StepResult::Ended) return;
            log.AddLogLine(kConfigProgrammed, LogNotice);
        }
        std::vector<std::uint8_t> cells(eeprom.size());
        for (std::size_t i = 0; i < cells.size(); ++i) cells[i] = image(first + static_cast<int>(i));
        RunControl control{gauge, [this] { return Terminated(); }};
        if (!goOn(session.ProgramEeprom(cells, erased, o.SkipBlankBlocks, control))) return;
        eeprom = std::move(cells);
        eepromKnown = true;
        eepromRead = session.ProgramVerifies();
    }

    if (o.VerifyEepromOn && !Terminated()) {
        const int step = session.VerifyBlockSize();
        gauge.setMaximum((last - first) / step + 1);
        gauge.setPosition(0);
        const bool erasedCheck = o.EraseEepromOn && !o.ProgramEepromOn;
        int differing = 0;
        std::vector<std::uint8_t> expected, actual;
        for (int a = first; a <= last && !Terminated(); a += step) {
            const int n = std::min(step, last - a + 1);
            expected.resize(static_cast<std::size_t>(n));
            actual.assign(static_cast<std::size_t>(n), 0);
            for (int i = 0; i < n; ++i)
                expected[static_cast<std::size_t>(i)] = erasedCheck ? 0xFF : image(a + i);
            if (!session.ReadBack(a, expected, actual)) return;
            std::copy(actual.begin(), actual.end(), eeprom.begin() + (a - first));
            for (int i = 0; i < n && !Terminated(); ++i) {
                if (actual[static_cast<std::size_t>(i)] != expected[static_cast<std::size_t>(i)]) {
                    log.AddLogLine(VerifyErrorLine(a + i), LogError);
                    failed = true;
                    ++differing;
                }
            }
            gauge.stepBy(1);
        }
        if (differing > 0) log.AddLogLine(VerifySummaryLine(differing), LogError);
        eepromKnown = true;
        eepromRead = true;
    }

    if (!Terminated()) session.Finish();
    // One look at the stop request for both, so that a success line always goes with a
    // completed run.
    if (Terminated()) return;
    if (!failed) {
        if (eepromKnown)
            log.AddChecksumLine({kEepromRange, first, last, ChecksumsOf(eeprom),
                                 eepromRead ? "" : kAsWrittenNotVerified});
        log.AddLogLine(kProgramCompleted, LogInfo);
    }
    setReturnValue(0);
}

}  // namespace jqz
