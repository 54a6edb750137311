#include "core/files/save_file.h"

#include "core/app/log_model.h"
#include "core/app/message_sink.h"
#include "core/image/hex_edit_model.h"
#include "core/image/hex_editor.h"
#include "core/image/image_edit.h"

namespace jqz {

const char* SaveFormatName(SaveFormat format) {
    switch (format) {
        case SaveFormat::Extended: return kExtendedFormatName;
        case SaveFormat::MotorolaS2: return "Motorola S (6 byte address)";
        case SaveFormat::MotorolaS1: return "Motorola S (4 byte address)";
        case SaveFormat::Binary: break;
    }
    return kBinaryFormatName;
}

SaveFormat SaveFormatForFilter(int filterIndex) {
    switch (filterIndex) {
        case 1: return SaveFormat::MotorolaS2;
        case 2: return SaveFormat::Binary;
        default: return SaveFormat::Extended;
    }
}

bool SaveImageFile(const SaveRequest& request, HexEditModel& model, MessageSink& messages,
                   LogSink& log) {
    if (RefuseWhileRead(model.image, messages)) return false;
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
