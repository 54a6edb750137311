#pragma once
// Saving the image to a file: the rules behind the save dialog.
#include <optional>
#include <string>
#include <string_view>

#include "core/files/image_files.h"

namespace jqz {

class HexEditModel;
class LogSink;
class MessageSink;

enum class SaveFormat { Extended, MotorolaS2, MotorolaS1, Binary, IntelHex16, IntelHex32 };

// The save dialog's format list, in its order.
inline constexpr SaveFormat kSaveFormats[] = {SaveFormat::Extended, SaveFormat::MotorolaS2,
                                              SaveFormat::MotorolaS1, SaveFormat::Binary,
                                              SaveFormat::IntelHex16, SaveFormat::IntelHex32};
const char* SaveFormatName(SaveFormat format);

// The format that the browser's filter chooses, found by the filter's name (its text before
// the patterns); "All" and unknown names choose the extended format.
SaveFormat SaveFormatForFilter(std::string_view filterText);

// Whether the "save unimplemented areas" choice applies to the format.
inline bool UnimplementedChoiceApplies(SaveFormat format) { return format != SaveFormat::Binary; }

inline constexpr const char* kShortAddressWarning =
    "Motorola S (4 byte address) format allow save buffer up to 0xFFFF address only.\r\n\r\n"
    "Continue ?";
inline constexpr const char* kWritingFile = "Writing file : ";

// The question asked when the file name's extension (".jef", ".s19", ".s28", ".bin", ".hex",
// ".ihx", in any case) names another format than the one chosen; nothing when it names none or
// the same.
// ".s19" and ".s28" both stand for S records, of either address size.
std::optional<std::string> FormatMismatchQuestion(const std::string& fileName, SaveFormat format);
inline constexpr const char* kWriteFileComplete = "Write file complete";

struct SaveRequest {
    std::string fileName;
    SaveFormat format = SaveFormat::Extended;
    bool entireBuffer = true;
    std::string lowestText = "0x0000";
    std::string highestText = "0x0FFFF";
    bool saveUnimplemented = false;
};

// Runs the save: the question when the name's extension names another format, the question
// for the 2-byte S format, the range checks, the writer, the log lines and the bulk pass that
// clears the edited marks and the undo history. Refused with the busy message while a device
// read holds the image. True when the
// file was written (the dialog closes with OK and the image counts as saved). A write that
// fails is shown and logged; the image keeps its marks and history then.
bool SaveImageFile(const SaveRequest& request, HexEditModel& model, MessageSink& messages,
                   LogSink& log);

}  // namespace jqz
