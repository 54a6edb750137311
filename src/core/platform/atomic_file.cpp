#include "core/platform/atomic_file.h"

#include <atomic>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>

#include "core/platform/native_file.h"

namespace jqz {

namespace fs = std::filesystem;

std::string NotAPlainFile(const std::string& path) {
    std::error_code ec;
    const fs::file_status status = fs::status(NativePath(path), ec);
    const char* what = nullptr;
    switch (status.type()) {
        case fs::file_type::directory: what = "a directory"; break;
        case fs::file_type::fifo: what = "a named pipe (FIFO)"; break;
        case fs::file_type::socket: what = "a socket"; break;
        case fs::file_type::character:
        case fs::file_type::block: what = "a device"; break;
        case fs::file_type::none:
        case fs::file_type::not_found:
        case fs::file_type::regular:
        case fs::file_type::symlink:  // not seen: status() follows links
            break;
        default: what = "not a file"; break;
    }
    if (what == nullptr) return {};
    return std::string("It is ") + what + ", not a plain file.";
}

std::string ReadFileToEnd(const std::string& path, std::string& out, std::size_t maxBytes) {
    out.clear();
    auto failure = [&](const std::string& why) {
        out.clear();
        return "Cannot read " + path + ": " + why;
    };
    // Checked before opening: opening a named pipe would wait for a writer.
    if (std::string what = NotAPlainFile(path); !what.empty()) return failure(what);
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(OpenForReading(path),
                                                               &std::fclose);
    if (!file) return failure(std::strerror(errno));
    // The reported size is only a first guess: some files (those of /proc) report none.
    std::error_code ec;
    const auto reported = fs::file_size(NativePath(path), ec);
    if (!ec && reported > maxBytes) return failure("It is larger than " + std::to_string(maxBytes) + " bytes.");
    if (!ec) out.reserve(static_cast<std::size_t>(reported));
    char chunk[64 * 1024];
    for (;;) {
        const std::size_t n = std::fread(chunk, 1, sizeof chunk, file.get());
        if (n > 0) {
            if (n > maxBytes - out.size())
                return failure("It is larger than " + std::to_string(maxBytes) + " bytes.");
            out.append(chunk, n);
        }
        if (n < sizeof chunk) {
            if (std::ferror(file.get()) != 0) {
                const int error = errno != 0 ? errno : EIO;
                return failure(std::strerror(error));
            }
            if (std::feof(file.get()) != 0) break;
        }
    }
    return {};
}

std::optional<std::string> ReadWholeFile(const std::string& path, std::size_t maxBytes) {
    std::string bytes;
    if (!ReadFileToEnd(path, bytes, maxBytes).empty()) return std::nullopt;
    return bytes;
}

}  // namespace jqz
