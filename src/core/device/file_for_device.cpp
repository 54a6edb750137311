#include "core/device/file_for_device.h"

#include <cctype>
#include <memory>

#include "core/messages/log_model.h"
#include "core/device/supported_device_list.h"
#include "core/image/image_description.h"
#include "core/files/intel_hex.h"
#include "core/files/records.h"
#include "core/image/memory_image.h"

namespace jqz {

namespace {

class SilentLog : public LogSink {
public:
    void AddLogLine(const std::string&, int) override {}
};

// A scratch image with every cell implemented and cleared to `fill`, loaded with the file.
struct Scratch {
    explicit Scratch(std::uint8_t fill) : description(image) {
        // The readers run in bulk mode, as in a real load; a scratch image never leaves it.
        image.BeginBulk();
        for (int a = 0; a <= MemoryImage::LastAddress(); ++a) image.WriteData(a, fill);
    }
    MemoryImage image;
    ImageDescription description;
};

PlacementCounts load(Scratch& scratch, FileFormat format, std::string_view content,
                     long long first, const Placement& placement) {
    SilentLog log;
    switch (format) {
        case FileFormat::Extended:
            return readExtendedText(content, placement, scratch.image, scratch.description, log);
        case FileFormat::Motorola:
            return readMotorolaText(content, placement, scratch.image, scratch.description, log);
        case FileFormat::Binary: return readBinaryBytes(content, first, placement, scratch.image);
        case FileFormat::IntelHex: return readIntelHexText(content, placement, scratch.image, log);
    }
    return {};
}

bool isBlank(std::string_view line) {
    for (char c : line)
        if (c != ' ' && c != '\t') return false;
    return true;
}

}  // namespace

bool LooksLikeIntelHex(std::string_view head) {
    if (head.substr(0, 3) == "\xEF\xBB\xBF") head.remove_prefix(3);
    std::size_t i = 0;
    while (i < head.size() && std::isspace(static_cast<unsigned char>(head[i])) != 0) ++i;
    if (i >= head.size() || head[i] != ':') return false;
    std::size_t digits = 0;
    while (++i < head.size() && std::isxdigit(static_cast<unsigned char>(head[i])) != 0) ++digits;
    return digits >= 10;
}

namespace {

// What a file holds: `head` is its first bytes, `content` what the load reads (for a binary
// file the window from byte `first` on).
void examine(std::string_view head, std::string_view content, long long first, FileFormat format,
             const Placement& placement, const SupportedDeviceList& devices, FileForDevice& out) {
    out = {};
    out.empty = head.empty();
    out.intelHexLookAlike = LooksLikeIntelHex(head);
    if (format != FileFormat::Binary)
        ForEachLine(content, [&out](std::string_view line) {
            if (!isBlank(line)) ++out.lines;
            return true;
        });

    const auto zeros = std::make_unique<Scratch>(0x00);
    const auto ones = std::make_unique<Scratch>(0xFF);
    const PlacementCounts counts = load(*zeros, format, content, first, placement);
    load(*ones, format, content, first, placement);
    out.faults = counts.faults;
    out.firstFault = counts.firstFault();
    out.hasDataRecord = HasDataRecord(content, format);
    auto written = [&](long long a) { return zeros->image.ReadData(a) == ones->image.ReadData(a); };
    for (long long a = 0; a <= MemoryImage::LastAddress(); ++a) {
        if (!written(a)) continue;
        ++out.cellsWritten;
        if (out.lowestWritten < 0) out.lowestWritten = a;
        out.highestWritten = a;
        if (a >= devices.eepromStart && a <= devices.eepromEnd) ++out.eepromCellsWritten;
    }
    out.configWritten = devices.configAddress > 0 && written(devices.configAddress);
}

constexpr std::size_t kHeadBytes = 4096;

}  // namespace

std::string ExamineFileForDevice(const std::string& path, FileFormat format,
                                 const Placement& placement, const SupportedDeviceList& devices,
                                 FileForDevice& out) {
    out = {};
    std::string head;
    if (std::string error = readFileBytes(path, 0, kHeadBytes, head); !error.empty()) return error;
    std::string content;
    FileWindow window;
    if (format == FileFormat::Binary) window = binaryFileWindow(placement);
    const std::string error = format == FileFormat::Binary
                                  ? readFileBytes(path, window.first, window.length, content)
                                  : readTextFile(path, content);
    if (!error.empty()) return error;
    examine(head, content, window.first, format, placement, devices, out);
    return {};
}

void ExamineBytesForDevice(std::string_view bytes, FileFormat format, const Placement& placement,
                           const SupportedDeviceList& devices, FileForDevice& out) {
    FileWindow window;
    std::string_view content = bytes;
    if (format == FileFormat::Binary) {
        window = binaryFileWindow(placement);
        content = bytes.substr(std::min<std::size_t>(bytes.size(), window.first), window.length);
    }
    examine(bytes.substr(0, kHeadBytes), content, window.first, format, placement, devices, out);
}

}  // namespace jqz
