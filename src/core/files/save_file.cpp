#include "core/files/save_file.h"

#include "core/messages/log_model.h"
#include "core/messages/message_sink.h"
#include "core/files/intel_hex.h"
#include "core/files/load_file.h"
#include "core/image/hex_edit_model.h"
#include "core/image/hex_editor.h"
#include "core/image/image_edit.h"

namespace jqz {

const char* SaveFormatName(SaveFormat format) {
    switch (format) {
        case SaveFormat::Extended: return kExtendedFormatName;
        case SaveFormat::MotorolaS2: return "Motorola S (6 byte address)";
        case SaveFormat::MotorolaS1: return "Motorola S (4 byte address)";
        case SaveFormat::IntelHex16: return "Intel HEX (16 byte records)";
        case SaveFormat::IntelHex32: return "Intel HEX (32 byte records)";
        case SaveFormat::Binary: break;
    }
    return kBinaryFormatName;
}

SaveFormat SaveFormatForFilter(std::string_view filterText) {
    const std::string_view name = FilterName(filterText);
    if (name == "Motorola") return SaveFormat::MotorolaS2;
    if (name == "Binary") return SaveFormat::Binary;
    if (name == "Intel HEX") return SaveFormat::IntelHex16;
    return SaveFormat::Extended;
}

namespace {

// The formats an extension names, by the name of the family they belong to.
struct ExtensionFamily {
    const char* extension;
    const char* family;
    bool (*names)(SaveFormat);
};

bool isIntelHex(SaveFormat f) { return f == SaveFormat::IntelHex16 || f == SaveFormat::IntelHex32; }

const ExtensionFamily kExtensionFamilies[] = {
    {".jef", kExtendedFormatName, [](SaveFormat f) { return f == SaveFormat::Extended; }},
    {".s19", "Motorola S",
     [](SaveFormat f) { return f == SaveFormat::MotorolaS1 || f == SaveFormat::MotorolaS2; }},
    {".s28", "Motorola S",
     [](SaveFormat f) { return f == SaveFormat::MotorolaS1 || f == SaveFormat::MotorolaS2; }},
    {".bin", kBinaryFormatName, [](SaveFormat f) { return f == SaveFormat::Binary; }},
    {".hex", kIntelHexFormatName, isIntelHex},
    {".ihx", kIntelHexFormatName, isIntelHex},
};

}  // namespace

std::optional<std::string> FormatMismatchQuestion(const std::string& fileName, SaveFormat format) {
    const std::size_t slash = fileName.find_last_of('/');
    const std::string base = slash == std::string::npos ? fileName : fileName.substr(slash + 1);
    const std::size_t dot = base.find_last_of('.');
    if (dot == std::string::npos || dot == 0) return std::nullopt;
    std::string extension = base.substr(dot);
    for (char& c : extension)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    for (const ExtensionFamily& f : kExtensionFamilies) {
        if (extension != f.extension || f.names(format)) continue;
        const std::string chosen = SaveFormatName(format);
        return "The file name ends in " + base.substr(dot) + ", which stands for the " + f.family +
               " format, but the format chosen is " + chosen + ".\r\n\r\nSave as " + chosen +
               " ?";
    }
    return std::nullopt;
}

bool SaveImageFile(const SaveRequest& request, HexEditModel& model, MessageSink& messages,
                   LogSink& log) {
    if (RefuseWhileRead(model.image, messages)) return false;
    if (const auto question = FormatMismatchQuestion(request.fileName, request.format);
        question && messages.askQuestion(*question, QuestionButtons::YesNo) != Answer::Yes)
        return false;
    if (request.format == SaveFormat::MotorolaS1 &&
        messages.askQuestion(kShortAddressWarning, QuestionButtons::YesNo) != Answer::Yes)
        return false;

    WriteRange range{0, MemoryImage::LastAddress(), request.saveUnimplemented};
    if (!request.entireBuffer) {
        const auto typed = ParseAddressRange(request.lowestText, request.highestText, messages);
        if (!typed) return false;
        range.lowest = typed->from;
        range.highest = typed->to;
    }

    std::string error;
    // The file and the bulk pass that follows it see the image as no read changes it.
    const bool ran = EditUnlessRead(model.image, messages, [&] {
        log.AddLogLine(kWritingFile + request.fileName, LogInfo);
        switch (request.format) {
            case SaveFormat::Extended:
                error = writeExtendedFile(request.fileName, model.image, model.description, range);
                break;
            case SaveFormat::MotorolaS2:
            case SaveFormat::MotorolaS1:
                error = writeMotorolaFile(request.fileName, model.image, model.description,
                                          request.format == SaveFormat::MotorolaS2
                                              ? MotorolaVariant::S2
                                              : MotorolaVariant::S1,
                                          range);
                break;
            case SaveFormat::Binary:
                error = writeBinaryFile(request.fileName, model.image, range.lowest, range.highest);
                break;
            case SaveFormat::IntelHex16:
            case SaveFormat::IntelHex32:
                error = writeIntelHexFile(request.fileName, model.image, range,
                                          request.format == SaveFormat::IntelHex32 ? 32 : 16);
                break;
        }
        if (!error.empty()) return;
        log.AddLogLine(kWriteFileComplete, LogInfo);
        model.image.BeginBulk();
        model.image.EndBulk();
    });
    if (!ran) return false;
    if (!error.empty()) {
        log.AddLogLine(error, LogError);
        messages.showError(error);
        return false;
    }
    return true;
}

}  // namespace jqz
