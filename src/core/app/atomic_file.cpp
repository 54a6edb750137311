#include "core/app/atomic_file.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <cstdio>
#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>

#include "core/app/native_file.h"

namespace jqz {

#ifdef _WIN32

std::string WriteFileAtomically(const std::string& path, const std::string& bytes) {
    const std::wstring target = WideFromUtf8(path);
    const std::wstring temp = target + L".tmp~" + std::to_wstring(::GetCurrentProcessId());
    auto fail = [&](DWORD error) { return "Cannot write " + path + ": " + Win32ErrorText(error); };
    const HANDLE h = ::CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return fail(::GetLastError());
    std::size_t done = 0;
    DWORD error = 0;
    while (done < bytes.size() && error == 0) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
        DWORD n = 0;
        if (!::WriteFile(h, bytes.data() + done, chunk, &n, nullptr))
            error = ::GetLastError();
        done += n;
    }
    if (error == 0 && !::FlushFileBuffers(h)) error = ::GetLastError();
    if (!::CloseHandle(h) && error == 0) error = ::GetLastError();
    if (error == 0 && !::MoveFileExW(temp.c_str(), target.c_str(),
                                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        error = ::GetLastError();
    if (error != 0) {
        ::DeleteFileW(temp.c_str());
        return fail(error);
    }
    return {};
}

#else

std::string WriteFileAtomically(const std::string& path, const std::string& bytes) {
    const std::string temp = path + ".tmp~" + std::to_string(::getpid());
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return "Cannot write " + path + ": " + std::strerror(errno);
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            const std::string why = std::strerror(errno);
            ::close(fd);
            ::unlink(temp.c_str());
            return "Cannot write " + path + ": " + why;
        }
        done += static_cast<std::size_t>(n);
    }
    if (::fsync(fd) != 0 || ::close(fd) != 0) {
        const std::string why = std::strerror(errno);
        ::unlink(temp.c_str());
        return "Cannot write " + path + ": " + why;
    }
    if (std::rename(temp.c_str(), path.c_str()) != 0) {
        const std::string why = std::strerror(errno);
        ::unlink(temp.c_str());
        return "Cannot write " + path + ": " + why;
    }
    return {};
}

#endif

std::optional<std::string> ReadWholeFile(const std::string& path, std::size_t maxBytes) {
    std::ifstream in(NativePath(path), std::ios::binary);
    if (!in) return std::nullopt;
    in.seekg(0, std::ios::end);
    const auto size = in.tellg();
    if (size < 0 || static_cast<std::size_t>(size) > maxBytes) return std::nullopt;
    in.seekg(0, std::ios::beg);
    std::string bytes(static_cast<std::size_t>(size), '\0');
    if (size > 0 && !in.read(bytes.data(), size)) return std::nullopt;
    return bytes;
}

}  // namespace jqz
