#include "core/platform/atomic_file.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include <windows.h>

#include "core/platform/file_lock.h"
#include "core/platform/native_file.h"

namespace jqz {

namespace {

std::string writeFailure(const std::string& path, unsigned long error) {
    return "Cannot write " + path + ": " + Win32ErrorText(error);
}

// The folder the file is in, where the new contents are first written.
std::string folderOf(const std::string& path) {
    const std::string folder = Utf8Name(NativePath(path).parent_path());
    return folder.empty() ? "." : folder;
}

}  // namespace

// A folder, device or pipe is refused as on other systems; so is a file that cannot be opened
// for writing (the read-only attribute, the file's ACL, another program holding it) and a
// folder that takes no new files, as a write would find them.
std::string CheckFileWritable(const std::string& path) {
    std::string resolved;
    if (std::string why = FollowTrustedLinks(path, resolved); !why.empty())
        return "Cannot write " + path + ": " + why;
    if (std::string what = NotAPlainFile(path); !what.empty()) return "Cannot write " + path + ": " + what;
    const std::wstring target = Win32FileName(path);
    if (const DWORD attributes = ::GetFileAttributesW(target.c_str());
        attributes != INVALID_FILE_ATTRIBUTES) {
        // Windows refuses to write a read-only file to everyone; Wine lets root open it.
        if (attributes & FILE_ATTRIBUTE_READONLY) return writeFailure(path, ERROR_ACCESS_DENIED);
        // Opening for writing changes nothing in the file; it only asks.
        const HANDLE h = ::CreateFileW(target.c_str(), GENERIC_WRITE,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                       nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) return writeFailure(path, ::GetLastError());
        ::CloseHandle(h);
    } else if (const DWORD error = ::GetLastError();
               error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) {
        return writeFailure(path, error);
    }
    const std::string folder = folderOf(path);
    if (::GetFileAttributesW(Win32FileName(folder).c_str()) == INVALID_FILE_ATTRIBUTES)
        return writeFailure(path, ::GetLastError());
    if (!FolderIsWritable(folder)) return writeFailure(path, ERROR_ACCESS_DENIED);
    return {};
}

namespace {

// The temporary name beside `target`: its own name marked with the process, the name cut
// short where the mark would make it longer than the 255 UTF-16 units a name may have (never
// between the two halves of a surrogate pair).
std::wstring temporaryName(const std::wstring& target) {
    const std::wstring mark = L".tmp~" + std::to_wstring(::GetCurrentProcessId());
    const std::size_t separator = target.find_last_of(L"\\/:");
    const std::size_t nameStart = separator == std::wstring::npos ? 0 : separator + 1;
    std::wstring name = target.substr(nameStart);
    constexpr std::size_t kLongest = 255;
    if (name.size() + mark.size() > kLongest) {
        std::size_t keep = kLongest - mark.size();
        if (keep > 0 && IS_HIGH_SURROGATE(name[keep - 1])) --keep;
        name.resize(keep);
    }
    return target.substr(0, nameStart) + name + mark;
}

}  // namespace

// An existing file is replaced with ReplaceFileW, which keeps what belongs to the file rather
// than to its contents: its attributes, its ACL, its creation time and its short name.
std::string WriteFileAtomically(const std::string& path, const std::string& bytes) {
    if (std::string refusal = CheckFileWritable(path); !refusal.empty()) return refusal;
    const std::wstring target = Win32FileName(path);
    const std::wstring temp = LongPathName(temporaryName(FullPathName(WideFromUtf8(path))));
    // A new file only: a leftover of an earlier run is removed (a link of that name itself,
    // not what it leads to), and whatever took the name since is not opened.
    (void)::DeleteFileW(temp.c_str());
    const HANDLE h = ::CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return writeFailure(path, ::GetLastError());
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
    const DWORD attributes = ::GetFileAttributesW(target.c_str());
    if (error == 0 && attributes != INVALID_FILE_ATTRIBUTES) {
        if (!::ReplaceFileW(target.c_str(), temp.c_str(), nullptr,
                            REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)) {
            error = ::GetLastError();
        } else if (::GetFileAttributesW(target.c_str()) != attributes) {
            // Not every implementation carries the attributes over; they are the file's.
            (void)::SetFileAttributesW(target.c_str(), attributes);
        }
    } else if (error == 0 && !::MoveFileExW(temp.c_str(), target.c_str(),
                                            MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        error = ::GetLastError();
    }
    if (error != 0) {
        ::DeleteFileW(temp.c_str());
        return writeFailure(path, error);
    }
    return {};
}

// The lock is a file of its own here: the file is replaced as any other.
std::string LockFile::replace(const std::string& path, const std::string& bytes) {
    return WriteFileAtomically(path, bytes);
}

std::string CreateFileAtomically(const std::string& path, const std::string& bytes,
                                 bool& existed) {
    existed = false;
    const std::wstring target = Win32FileName(path);
    const std::wstring temp = LongPathName(temporaryName(FullPathName(WideFromUtf8(path))));
    const HANDLE h = ::CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return writeFailure(path, ::GetLastError());
    DWORD error = 0, n = 0;
    if (bytes.size() > (1u << 30)) error = ERROR_FILE_TOO_LARGE;
    else if (!::WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr))
        error = ::GetLastError();
    if (error == 0 && !::FlushFileBuffers(h)) error = ::GetLastError();
    if (!::CloseHandle(h) && error == 0) error = ::GetLastError();
    // Without MOVEFILE_REPLACE_EXISTING the move fails where the name is taken.
    if (error == 0 && !::MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH))
        error = ::GetLastError();
    if (error == 0) return {};
    ::DeleteFileW(temp.c_str());
    if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS) {
        existed = true;
        return {};
    }
    return writeFailure(path, error);
}

int RemoveLeftoverTemporaries(const std::string& path) {
    namespace fs = std::filesystem;
    const fs::path target = NativePath(path);
    const std::wstring name = target.filename().wstring();
    const std::wstring own = std::to_wstring(::GetCurrentProcessId());
    fs::path folder = target.parent_path();
    if (folder.empty()) folder = L".";
    int removed = 0;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
        // NAME.tmp~PID, NAME cut short where the whole would be too long.
        const std::wstring file = entry.path().filename().wstring();
        const std::size_t mark = file.rfind(L".tmp~");
        if (mark == std::wstring::npos || mark == 0) continue;
        const std::wstring stem = file.substr(0, mark), pid = file.substr(mark + 5);
        if (stem != name && !(file.size() == 255 && name.starts_with(stem))) continue;
        if (pid.empty() || pid.find_first_not_of(L"0123456789") != std::wstring::npos ||
            pid == own)
            continue;
        std::error_code removeError;
        if (entry.is_regular_file(removeError) && fs::remove(entry.path(), removeError)) ++removed;
    }
    return removed;
}

}  // namespace jqz
