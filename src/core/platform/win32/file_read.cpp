#include "core/platform/file_read.h"

#include <windows.h>

#include <algorithm>

#include "core/platform/atomic_file.h"
#include "core/platform/native_file.h"

namespace jqz {

std::string ReadFileRange(const std::string& path, long long offset, std::size_t maxBytes,
                          std::string& out, bool& opening) {
    out.clear();
    opening = true;
    const HANDLE h = ::CreateFileW(NativePath(path).c_str(), GENERIC_READ,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return Win32ErrorText(::GetLastError());
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(h, &info)) {
        const DWORD error = ::GetLastError();
        ::CloseHandle(h);
        return Win32ErrorText(error);
    }
    // Only files on disk are read: a pipe or a device could hang the read.
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || ::GetFileType(h) != FILE_TYPE_DISK) {
        const bool folder = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        ::CloseHandle(h);
        return folder ? NotAPlainFile(path) : "It is not a plain file.";
    }
    const long long size =
        static_cast<long long>((static_cast<unsigned long long>(info.nFileSizeHigh) << 32) |
                               info.nFileSizeLow);
    const long long available = std::max(0LL, size - offset);
    out.resize(std::min(maxBytes, static_cast<std::size_t>(available)));
    std::size_t done = 0;
    while (done < out.size()) {
        OVERLAPPED at{};
        const unsigned long long position = static_cast<unsigned long long>(offset) + done;
        at.Offset = static_cast<DWORD>(position);
        at.OffsetHigh = static_cast<DWORD>(position >> 32);
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(out.size() - done, 1u << 30));
        DWORD n = 0;
        if (!::ReadFile(h, out.data() + done, chunk, &n, &at)) {
            const DWORD error = ::GetLastError();
            if (error == ERROR_HANDLE_EOF) break;
            ::CloseHandle(h);
            out.clear();
            opening = false;
            return Win32ErrorText(error);
        }
        if (n == 0) break;  // the file shrank meanwhile
        done += n;
    }
    out.resize(done);
    ::CloseHandle(h);
    return {};
}

bool FileMemory::read(const std::string&, long long, long long) { return false; }

void FileMemory::release() {
    block_ = nullptr;
    blockSize_ = 0;
    bytes_ = {};
}

}  // namespace jqz
