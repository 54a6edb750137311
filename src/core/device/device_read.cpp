#include "core/device/device_read.h"

#include <algorithm>

#include "core/device/prog_bar_sim.h"
#include "core/device/target_link.h"
#include "core/image/checksum.h"

namespace jqz {

void DeviceReadTh::Execute() {
    setReturnValue(1);
    ProgBarSimTh simulation(host_.gauge(), kReadSimFactor);
    {
        const std::unique_ptr<TargetSession> session = target_.OpenSession(device_, host_.log());
        run(*session, simulation);
    }
    // Also after an early end: the edited colours go back to the work colour.
    host_.image().EndBulk(MemoryImage::BulkOwner::DeviceRead);
    simulation.Stop();
    host_.gauge().setPosition(0);
    announceEnd(SequenceKind::Read);
}

bool DeviceReadTh::readRange(TargetSession& session, int first, int last,
                             std::vector<std::uint8_t>* read) {
    MemoryImage& image = host_.image();
    ProgressGauge& gauge = host_.gauge();
    const int step = session.ReadBlockSize();
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(step));
    for (int a = first; a <= last && !Terminated(); a += step) {
        const int n = std::min(step, last - a + 1);
        if (!session.Read(a, std::span(buffer).first(static_cast<std::size_t>(n)))) return false;
        for (int i = 0; i < n; ++i) {
            const std::uint8_t b = buffer[static_cast<std::size_t>(i)];
            image.WriteData(a + i, b);
            if (read) read->push_back(b);
            gauge.stepBy(1);
        }
    }
    return true;
}

void DeviceReadTh::run(TargetSession& session, ProgBarSimTh& simulation) {
    const SequenceOptions& o = host_.options();
    MemoryImage& image = host_.image();
    ProgressGauge& gauge = host_.gauge();
    const DeviceMap& d = device_;
    LogSink& log = host_.log();
    if (!session.Link(o)) return;
    log.AddLogLine(kReadInProgress, LogInfo);

    std::string summary;
    if (o.ReadEepromOn) summary += "EEPROM  ";
    if (o.ReadFlashOn) summary += "EPROM/ROM  ";
    if (o.ReadRomOn) summary += "BOOT ROM  ";
    if (!summary.empty()) log.AddLogLine(summary + "selected.", LogInfo);
    if (!session.ReportIdentity()) return;
    simulation.Stop();
    image.BeginBulk(MemoryImage::BulkOwner::DeviceRead);

    // The EEPROM's bytes as read, for the figures that close a completed read.
    std::vector<std::uint8_t> eeprom;
    if (o.ReadEepromOn && !Terminated()) {
        gauge.setMaximum(d.eepromEnd - d.eepromStart);
        gauge.setPosition(0);
        if (!readRange(session, d.eepromStart, d.eepromEnd, &eeprom)) return;
        // The CONFIG register comes with the EEPROM, even when a stop cut the EEPROM short.
        std::uint8_t config = 0;
        if (!session.ReadConfig(config)) return;
        image.WriteData(d.configAddress, config);
    }

    if (o.ReadFlashOn && !Terminated()) {
        gauge.setMaximum((d.romArea1End - d.romArea1Start) + (d.romArea2End - d.romArea2Start));
        gauge.setPosition(0);
        // A device without an area has nothing to read there.
        if (d.romArea1Start != 0 && !readRange(session, d.romArea1Start, d.romArea1End)) return;
        if (d.romArea2Start != 0 && !readRange(session, d.romArea2Start, d.romArea2End)) return;
    }

    if (o.ReadRomOn && !Terminated()) {
        gauge.setMaximum(d.bootRomEnd - d.bootRomStart);
        gauge.setPosition(0);
        if (d.bootRomStart != 0 && !readRange(session, d.bootRomStart, d.bootRomEnd)) return;
    }

    if (Terminated()) return;
    if (eeprom.size() == static_cast<std::size_t>(d.eepromEnd - d.eepromStart + 1))
        log.AddChecksumLine({kEepromRange, d.eepromStart, d.eepromEnd, ChecksumsOf(eeprom)});
    log.AddLogLine(kReadCompleted, LogInfo);
    setReturnValue(0);
    session.Finish();
}

}  // namespace jqz
