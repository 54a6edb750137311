#pragma once
// Loading a file into the image: the rules behind the load dialog, from the format offered
// for a file name to the log lines and the list of recently loaded files.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/files/image_files.h"

namespace jqz {

class HexEditModel;
class LogSink;
class MessageSink;

inline constexpr const char* kFileNotAccessible = "File not Accessible or not Exist!";
inline constexpr const char* kReadingFile = "Reading file : ";
inline constexpr const char* kReadFileComplete = "Read file complete";
inline constexpr const char* kBufferClearedWith = "Buffer Cleared with ";
// Followed by the file name: a file in which the chosen format finds nothing to load.
inline constexpr const char* kNoDataFound = "No data found in file : ";

// The filters of the load and save browsers: the text shown, whose patterns in parentheses
// the browser applies, and the extension the save browser gives a name typed without one.
// "All" stays last.
struct FileFilter {
    const char* text;
    const char* suffix;
};
inline constexpr FileFilter kImageFileFilters[] = {
    {"JQZ Extended Format (*.jef)", "jef"},
    {"Motorola (*.s19 *.s28 *.s37 *.s1 *.s2 *.s3 *.srec *.mot *.mxt *.sx *.exo)", "s19"},
    {"Binary (*.bin)", "bin"},
    {"Intel HEX (*.hex *.ihx)", "hex"},
    {"All (*.*)", "jef"},
};
// The filter's name: its text before the patterns ("Intel HEX").
std::string_view FilterName(std::string_view filterText);
// The filter whose text or name that is; the first when there is none.
const FileFilter& FilterNamed(std::string_view filterText);

// The formats offered for a file: the one its first bytes show, if any, then "Binary".
// Nothing when the file cannot be opened and read.
std::optional<std::vector<FileFormat>> OfferedFormats(const std::string& path);
// The same for a file's first bytes, read already.
std::vector<FileFormat> OfferedFormatsFor(std::string_view head);

enum class ClearChoice { None = 0, Zeros = 1, Ones = 2 };

struct LoadRequest {
    std::string fileName;
    FileFormat format = FileFormat::Binary;
    bool entireFile = true;
    std::string lowestText = "0x0000";
    std::string highestText = "0xFFFFFF";
    std::string offsetText = "0";
    ClearChoice clear = ClearChoice::None;
    // The whole file, when the caller has read it already (to judge it before loading): the
    // load takes these bytes and does not open the file again, so what was judged is what is
    // loaded even when the file is replaced in between.
    std::optional<std::string> fileBytes;
};

// The placement of a load, or nothing after a refused field (with its message shown).
std::optional<Placement> LoadPlacement(const LoadRequest& request, MessageSink& messages);

// What a load did.
struct LoadResult {
    // The file was loaded (the dialog closes). Also what the result converts to.
    bool loaded = false;
    // Where the file's data bytes went; all zero unless loaded. `counts.placedIn(first, last)`
    // tells whether a memory area (the device's EEPROM, say) received anything.
    PlacementCounts counts;

    explicit operator bool() const { return loaded; }
};

// Runs the load: placement fields checked, the file read, then the description cleared, bulk
// mode, the optional clearing of every cell, the reader, the end of bulk mode, the recent list
// and the log lines. After "Read file complete" come notices of what was not placed (bytes
// outside the image, bytes on cells the selected device does not have) and of a device name
// in the file that is not the selected device's.
//
// Nothing changes (image, description, undo history, recent list) when a field is refused,
// when the file cannot be read (the error is shown and logged), when the chosen format finds
// no data record in the file (an empty file, or one of only header and end records: "No data
// found in file : " is shown and logged), and
// while a device read holds the image (the busy message is shown).
LoadResult LoadImageFile(const LoadRequest& request, HexEditModel& model,
                         std::vector<std::string>& recentFiles, MessageSink& messages,
                         LogSink& log);

// Most recent first, no two names equal ignoring letter case.
void RememberRecentFile(std::vector<std::string>& recentFiles, const std::string& fileName);
// "0 name", "1 name", ...: the caption of the recent list's entry `index`.
std::string RecentFileCaption(std::size_t index, const std::string& fileName);

}  // namespace jqz
