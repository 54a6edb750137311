#pragma once
// What the text formats' readers and writers share: placing a record's bytes in the image,
// logging rejected lines without flooding the log, and cutting an image range into records.
#include <algorithm>
#include <cstdint>
#include <span>
#include <string>

#include "core/messages/log_model.h"
#include "core/files/image_files.h"
#include "core/files/records.h"
#include "core/image/memory_image.h"

namespace jqz {

// Writes the bytes of one record that pass the placement rule, counting where they went.
void PlaceRecordBytes(MemoryImage& image, const Placement& placement, long long address,
                      std::span<const std::uint8_t> data, PlacementCounts& counts);

// The faults of the line being read (counts.line): a line the reader did not take is a record
// with a bad checksum, or no record at all unless it is blank; a line it took may go on past
// the record's checksum.
void NoteRejectedLine(std::string_view line, const RecordSyntax& syntax, PlacementCounts& counts);
void NoteTextAfterRecord(std::string_view line, const RecordSyntax& syntax,
                         PlacementCounts& counts);
// The text ended, after counts.line lines, without its end record.
void NoteNoEndRecord(PlacementCounts& counts);

// Logs rejected lines, the first kMaxLoggedRejects one by one and the rest as one count.
class RecordRejectLog {
public:
    RecordRejectLog(LogSink& log, const char* line, const char* fileKind)
        : log_(log), line_(line), fileKind_(fileKind) {}
    RecordRejectLog(const RecordRejectLog&) = delete;
    RecordRejectLog& operator=(const RecordRejectLog&) = delete;
    ~RecordRejectLog() {
        if (count_ > kMaxLoggedRejects)
            log_.AddLogLine(std::to_string(count_ - kMaxLoggedRejects) +
                                " more unrecognized lines in " + fileKind_ + " file not listed",
                            LogNotice);
    }
    void reject() {
        if (++count_ <= kMaxLoggedRejects) log_.AddLogLine(line_, LogNotice);
    }

private:
    LogSink& log_;
    const char* line_;
    const char* fileKind_;
    long long count_ = 0;
};

// Calls emit(address, bytes) for every record of `range`: at most `max` (up to 32) bytes each,
// starting at the range's start and after every skipped cell, ended before an unimplemented
// cell unless those are saved.
template <typename Emit>
void ForEachWriteChunk(const MemoryImage& image, const WriteRange& range, long long max,
                       Emit&& emit) {
    const long long lowest = std::max(range.lowest, 0LL);
    const long long highest =
        std::min(range.highest, static_cast<long long>(MemoryImage::LastAddress()));
    std::uint8_t chunk[32];
    max = std::clamp(max, 1LL, 32LL);
    long long a = lowest;
    while (a <= highest) {
        long long i = 0;
        while (i < max && a + i <= highest &&
               (range.saveUnimplemented || !image.IsUnimplemented(a + i))) {
            chunk[i] = image.ReadData(a + i);
            ++i;
        }
        if (i > 0) {
            emit(static_cast<std::uint32_t>(a),
                 std::span<const std::uint8_t>(chunk, static_cast<std::size_t>(i)));
            a += i;
        } else {
            ++a;
        }
    }
}

}  // namespace jqz
