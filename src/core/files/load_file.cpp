#include "core/files/load_file.h"

#include "core/image/checksum.h"

#include <algorithm>
#include <utility>

#include "core/messages/log_model.h"
#include "core/messages/message_sink.h"
#include "core/files/file_text.h"
#include "core/files/intel_hex.h"
#include "core/image/hex_edit_model.h"
#include "core/image/image_edit.h"
#include "core/image/number_parsers.h"

namespace jqz {

std::string_view FilterName(std::string_view filterText) {
    const std::size_t open = filterText.find(" (");
    return open == std::string_view::npos ? filterText : filterText.substr(0, open);
}

const FileFilter& FilterNamed(std::string_view filterText) {
    for (const FileFilter& f : kImageFileFilters)
        if (FilterName(f.text) == FilterName(filterText)) return f;
    return kImageFileFilters[0];
}

namespace {

bool equalIgnoringCase(const std::string& a, const std::string& b) {
    return std::ranges::equal(a, b, [](char x, char y) {
        auto fold = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        return fold(x) == fold(y);
    });
}

}  // namespace

std::optional<std::vector<FileFormat>> OfferedFormats(const std::string& path) {
    std::string head;
    if (!readFileBytes(path, 0, kDetectLineBytes, head).empty()) return std::nullopt;
    return OfferedFormatsFor(head);
}

std::vector<FileFormat> OfferedFormatsFor(std::string_view head) {
    std::vector<FileFormat> formats;
    if (const auto detected = detectFormat(head)) formats.push_back(*detected);
    formats.push_back(FileFormat::Binary);
    return formats;
}

std::optional<Placement> LoadPlacement(const LoadRequest& request, MessageSink& messages) {
    Placement placement;
    if (request.entireFile) return placement;
    placement.lowest = ParseNumber(request.lowestText, messages);
    placement.highest = ParseNumber(request.highestText, messages);
    if (placement.lowest == -1 || placement.highest == -1) return std::nullopt;
    const std::optional<int> offset = ConvertNumber(request.offsetText);
    if (!offset) {
        messages.showError(kNumberFormatMessage);
        return std::nullopt;
    }
    placement.offset = *offset;
    if (placement.highest < placement.lowest) std::swap(placement.lowest, placement.highest);
    return placement;
}

namespace {

// Blanks and letter case aside, two device names are the same.
std::string deviceKey(const std::string& name) {
    std::string key;
    for (char c : name) {
        if (c == ' ' || c == '\t') continue;
        key += c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
    }
    return key;
}

// The notices after "Read file complete": what was not placed, and another device's name.
void logLeftOut(const PlacementCounts& counts, const HexEditModel& model, LogSink& log) {
    const std::string device =
        model.mapDevice.empty() ? "the selected device" : "\"" + model.mapDevice + "\"";
    std::string parts;
    auto add = [&parts](const std::string& part) { parts += (parts.empty() ? "" : ", ") + part; };
    if (counts.outsideImage > 0)
        add(std::to_string(counts.outsideImage) + " bytes outside the buffer (0x0000-0xFFFF)");
    if (counts.notOnDevice > 0)
        add(std::to_string(counts.notOnDevice) + " bytes on cells that " + device +
            " does not have");
    if (!parts.empty())
        log.AddLogLine("Not loaded: " + parts + ".", LogNotice);
    // What the Part's notices of unrecognised lines do not tell.
    if (const FaultTally& extra = counts.tally(FileFault::ExtraText); extra.count > 0)
        log.AddLogLine("Text after a record's checksum ignored on " + std::to_string(extra.count) +
                           (extra.count == 1 ? " line" : " lines") + ", the first line " +
                           std::to_string(extra.firstLine) + ".",
                       LogNotice);
    if (const FaultTally& overlap = counts.tally(FileFault::Overlap); overlap.count > 0)
        log.AddLogLine(std::to_string(overlap.count) +
                           (overlap.count == 1 ? " byte is" : " bytes are") +
                           " given again with another value, the first at " +
                           AddressText(overlap.address) + " on line " +
                           std::to_string(overlap.firstLine) + ": the last value is kept.",
                       LogNotice);
    if (counts.tally(FileFault::NoEndRecord).count > 0)
        log.AddLogLine("The file ends without its end record: it may have been cut short.",
                       LogNotice);
    const std::string named = model.description.deviceName();
    if (!named.empty() && !model.mapDevice.empty() && deviceKey(named) != deviceKey(model.mapDevice))
        log.AddLogLine("The file names the device \"" + named + "\"; the selected device is " +
                           device + ".",
                       LogNotice);
}

}  // namespace

LoadResult LoadImageFile(const LoadRequest& request, HexEditModel& model,
                         std::vector<std::string>& recentFiles, MessageSink& messages,
                         LogSink& log) {
    LoadResult result;
    if (RefuseWhileRead(model.image, messages)) return result;
    const std::optional<Placement> placement = LoadPlacement(request, messages);
    if (!placement) return result;

    // The file is read before anything changes, so that a file that has gone since it was
    // chosen, or one without data, leaves the image as it was.
    std::string bytes;
    FileText text;
    FileWindow window;
    if (request.format == FileFormat::Binary) window = binaryFileWindow(*placement);
    std::string error;
    std::string_view content;
    if (request.fileBytes) {
        content = *request.fileBytes;
        if (request.format == FileFormat::Binary)
            content = content.substr(std::min<std::size_t>(content.size(), window.first),
                                     window.length);
    } else if (request.format == FileFormat::Binary) {
        error = readFileBytes(request.fileName, window.first, window.length, bytes);
        content = bytes;
    } else {
        error = text.read(request.fileName);
        content = text.text();
    }
    if (!error.empty()) {
        log.AddLogLine(error, LogError);
        messages.showError(error);
        return result;
    }
    if (!HasDataRecord(content, request.format)) {
        const std::string none = kNoDataFound + request.fileName;
        log.AddLogLine(kReadingFile + request.fileName, LogInfo);
        log.AddLogLine(none, LogError);
        messages.showError(none);
        return result;
    }

    const bool loaded = EditUnlessRead(model.image, messages, [&] {
        model.description.clear();
        model.image.BeginBulk();
        if (request.clear != ClearChoice::None) {
            const std::uint8_t fill = request.clear == ClearChoice::Zeros ? 0x00 : 0xFF;
            for (int a = 0; a <= MemoryImage::LastAddress(); ++a) model.image.WriteData(a, fill);
            log.AddLogLine(std::string(kBufferClearedWith) + (fill == 0 ? "0x00" : "0xFF"),
                           LogInfo);
        }
        log.AddLogLine(kReadingFile + request.fileName, LogInfo);
        switch (request.format) {
            case FileFormat::Extended:
                result.counts =
                    readExtendedText(content, *placement, model.image, model.description, log);
                break;
            case FileFormat::Motorola:
                result.counts =
                    readMotorolaText(content, *placement, model.image, model.description, log);
                break;
            case FileFormat::Binary:
                result.counts = readBinaryBytes(content, window.first, *placement, model.image);
                break;
            case FileFormat::IntelHex:
                result.counts = readIntelHexText(content, *placement, model.image, log);
                break;
        }
        model.image.EndBulk();
    });
    if (!loaded) return result;
    RememberRecentFile(recentFiles, request.fileName);
    if (model.hasEeprom())
        log.AddChecksumLine(
            ImageChecksumReport(kEepromRange, model.image, model.eepromStart, model.eepromEnd));
    log.AddLogLine(kReadFileComplete, LogInfo);
    logLeftOut(result.counts, model, log);
    result.loaded = true;
    return result;
}

void RememberRecentFile(std::vector<std::string>& recentFiles, const std::string& fileName) {
    std::erase_if(recentFiles,
                  [&](const std::string& entry) { return equalIgnoringCase(entry, fileName); });
    recentFiles.insert(recentFiles.begin(), fileName);
}

std::string RecentFileCaption(std::size_t index, const std::string& fileName) {
    return std::to_string(index) + " " + fileName;
}

}  // namespace jqz
