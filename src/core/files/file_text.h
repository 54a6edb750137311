#pragma once
// A whole file's bytes for the text readers. The file is read with read(2) into memory of its
// own, never mapped: a file that another program cuts short while it is read then gives the
// bytes it still had, where a mapping of the file would fault.
#include <cstddef>
#include <string>
#include <string_view>

#include "core/platform/file_read.h"

namespace jqz {

class FileText {
public:
    // Reads the whole regular file (at most kMaxTextFileBytes); empty on success, otherwise the
    // message naming the file and the cause (the same messages as readTextFile's).
    std::string read(const std::string& path);
    std::string_view text() const { return view_; }

    FileText() = default;
    FileText(const FileText&) = delete;
    FileText& operator=(const FileText&) = delete;
    ~FileText();

private:
    void release();

    std::string copy_;   // a small file
    FileMemory block_;   // a large file, in memory of its own
    std::string_view view_;
};

}  // namespace jqz
