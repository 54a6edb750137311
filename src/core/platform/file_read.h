#pragma once
// Reading files as the file formats want them: a range of a plain file's bytes, and a large
// file whole in memory of its own.
#include <cstddef>
#include <string>
#include <string_view>

namespace jqz {

// Reads at most maxBytes of the plain file from byte `offset` on into `out` (fewer at its
// end). Empty on success, otherwise the cause; `opening` then says whether the file could not
// be opened (a folder, pipe or device is refused: reading one could hang) or not be read.
std::string ReadFileRange(const std::string& path, long long offset, std::size_t maxBytes,
                          std::string& out, bool& opening);

// A large file read whole into memory taken from the system (no clearing, copying or growing
// of a buffer). The file is read, never mapped: a file that another program cuts short while
// it is read then gives the bytes it still had, where a mapping would fault.
class FileMemory {
public:
    FileMemory() = default;
    FileMemory(const FileMemory&) = delete;
    FileMemory& operator=(const FileMemory&) = delete;
    ~FileMemory() { release(); }

    // Reads the plain file when its size is from minBytes to maxBytes and it does not grow
    // while it is read. False otherwise, holding nothing: the caller reads it as a small file.
    // Always false on Windows.
    bool read(const std::string& path, long long minBytes, long long maxBytes);
    std::string_view bytes() const { return bytes_; }
    void release();

private:
    void* block_ = nullptr;
    std::size_t blockSize_ = 0;
    std::string_view bytes_;
};

}  // namespace jqz
