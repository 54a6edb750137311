#pragma once
// What the reader fuzz targets share: a log that drops its lines, and a load as the load
// dialog runs it (description cleared, bulk mode around the reader).
#include <string>
#include <string_view>

#include "core/messages/log_model.h"
#include "core/files/image_files.h"
#include "core/image/hex_edit_model.h"

namespace jqz::fuzz {

class NullLog : public LogSink {
public:
    void AddLogLine(const std::string&, int) override {}
};

// Only the first 4 KiB of the image take data, which keeps the whole-image passes of the
// checks few: what is read, written and read again is still every kind of record.
inline constexpr long long kLast = 0x0FFF;

template <typename Reader>
void load(std::string_view text, HexEditModel& m, Reader read) {
    NullLog log;
    m.description.clear();
    m.image.BeginBulk();
    read(text, Placement{0, kLast, 0}, m.image, m.description, log);
    m.image.EndBulk();
}

}  // namespace jqz::fuzz
