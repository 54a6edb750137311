#include "core/device/device_read.h"

#include <array>

#include "core/device/prog_bar_sim.h"
#include "core/device/sequence_link.h"
#include "core/image/checksum.h"
#include "core/link/connection.h"

namespace jqz {

namespace {
constexpr int kBlockSize = 128;
}

void DeviceReadTh::Execute() {
    setReturnValue(1);
    ProgBarSimTh simulation(host_.gauge(), kReadSimFactor);
    SequenceLink link(com_, host_.log());
    run(link, simulation);
    // Also after an early end: the edited colours go back to the work colour.
    host_.image().EndBulk(MemoryImage::BulkOwner::DeviceRead);
    simulation.Stop();
    host_.gauge().setPosition(0);
    announceEnd(SequenceKind::Read);
}

bool DeviceReadTh::readRange(SequenceLink& link, int first, int last,
                             std::vector<std::uint8_t>* read) {
    MemoryImage& image = host_.image();
    ProgressGauge& gauge = host_.gauge();
    std::array<std::uint8_t, kBlockSize + 1> buffer{};
    for (int a = first; a <= last && !Terminated(); a += kBlockSize) {
        link.channel().ReadBlock(a, buffer);
        if (!link.Check()) return false;
        for (int i = 0; i < kBlockSize && a + i <= last; ++i) {
            image.WriteData(a + i, buffer[i]);
            if (read) read->push_back(buffer[i]);
            gauge.stepBy(1);
        }
    }
    return true;
}

void DeviceReadTh::run(SequenceLink& link, ProgBarSimTh& simulation) {
    const SequenceOptions& o = host_.options();
    MemoryImage& image = host_.image();
    ProgressGauge& gauge = host_.gauge();
    const DeviceMap& d = device_;
    if (!link.ConnectAndLink(o, d.deviceType)) return;
    link.log(kReadInProgress, LogInfo);

    std::string summary;
    if (o.ReadEepromOn) summary += "EEPROM  ";
    if (o.ReadFlashOn) summary += "EPROM/ROM  ";
    if (o.ReadRomOn) summary += "BOOT ROM  ";
    if (!summary.empty()) link.log(summary + "selected.", LogInfo);
    if (!link.ReportInterface()) return;
    simulation.Stop();
    image.BeginBulk(MemoryImage::BulkOwner::DeviceRead);

    // The EEPROM's bytes as read, for the figures that close a completed read.
    std::vector<std::uint8_t> eeprom;
    if (o.ReadEepromOn && !Terminated()) {
        gauge.setMaximum(d.eepromEnd - d.eepromStart);
        gauge.setPosition(0);
        if (!readRange(link, d.eepromStart, d.eepromEnd, &eeprom)) return;
        // The CONFIG register comes with the EEPROM, even when a stop cut the EEPROM short.
        const std::uint8_t config = link.channel().ReadByte(d.configAddress);
        if (!link.Check()) return;
        image.WriteData(d.configAddress, config);
    }

    if (o.ReadFlashOn && !Terminated()) {
        gauge.setMaximum((d.romArea1End - d.romArea1Start) + (d.romArea2End - d.romArea2Start));
        gauge.setPosition(0);
        // A device without an area has nothing to read there.
        if (d.romArea1Start != 0 && !readRange(link, d.romArea1Start, d.romArea1End)) return;
        if (d.romArea2Start != 0 && !readRange(link, d.romArea2Start, d.romArea2End)) return;
    }

    if (o.ReadRomOn && !Terminated()) {
        gauge.setMaximum(d.bootRomEnd - d.bootRomStart);
        gauge.setPosition(0);
        if (d.bootRomStart != 0 && !readRange(link, d.bootRomStart, d.bootRomEnd)) return;
    }

    if (Terminated()) return;
    if (eeprom.size() == static_cast<std::size_t>(d.eepromEnd - d.eepromStart + 1))
        host_.log().AddChecksumLine({kEepromRange, d.eepromStart, d.eepromEnd, ChecksumsOf(eeprom)});
    link.log(kReadCompleted, LogInfo);
    setReturnValue(0);
    if (link.inCircuit()) link.channel().PowerOff();
}

}  // namespace jqz
