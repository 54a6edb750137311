#pragma once
// A whole file's bytes for the text readers. A large file is mapped into memory, all of its
// pages at once, instead of being copied into a buffer: a text file of many megabytes then
// costs neither clearing nor copying. (A file cut short by another program while it is
// mapped would fault; loads take a fraction of a second.) Small files are read.
#include <cstddef>
#include <string>
#include <string_view>

namespace jqz {

class FileText {
public:
    // Reads the whole regular file (at most kMaxTextFileBytes); empty on success, otherwise the
    // message naming the file and the cause (the same messages as readTextFile's).
    std::string read(const std::string& path);
    std::string_view text() const { return mapped_ != nullptr ? std::string_view(mapped_, size_) : read_; }

    FileText() = default;
    FileText(const FileText&) = delete;
    FileText& operator=(const FileText&) = delete;
    ~FileText();

private:
    void unmap();

    std::string read_;
    const char* mapped_ = nullptr;
    std::size_t size_ = 0;
};

}  // namespace jqz
