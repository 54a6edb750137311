#include "core/platform/native_file.h"

#include <windows.h>

#include <aclapi.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <vector>

namespace jqz {

std::wstring WideFromUtf8(const std::string& utf8) {
    if (utf8.empty()) return {};
    const int n = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()),
                                        nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
    return wide;
}

std::string Utf8FromWide(const std::wstring& wide) {
    if (wide.empty()) return {};
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                        nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), utf8.data(), n,
                          nullptr, nullptr);
    return utf8;
}

std::string Win32ErrorText(unsigned long error) {
    int e = EIO;
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_DRIVE:
        case ERROR_BAD_NETPATH: e = ENOENT; break;
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
        case ERROR_WRITE_PROTECT: e = EACCES; break;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL: e = ENOSPC; break;
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS: e = EEXIST; break;
        case ERROR_INVALID_NAME:
        case ERROR_BAD_PATHNAME:
        case ERROR_INVALID_PARAMETER: e = EINVAL; break;
        case ERROR_NOT_ENOUGH_MEMORY:
        case ERROR_OUTOFMEMORY: e = ENOMEM; break;
        case ERROR_FILENAME_EXCED_RANGE: e = ENAMETOOLONG; break;
        case ERROR_DIRECTORY: e = ENOTDIR; break;
        default: break;
    }
    return std::strerror(e);
}

namespace {

// The full name (GetFullPathNameW), or empty when there is none.
std::wstring fullPathOrEmpty(const std::wstring& name) {
    if (name.empty()) return {};
    const DWORD n = ::GetFullPathNameW(name.c_str(), 0, nullptr, nullptr);
    if (n == 0) return {};
    std::wstring full(n, L'\0');
    const DWORD written = ::GetFullPathNameW(name.c_str(), n, full.data(), nullptr);
    if (written == 0 || written >= n) return {};
    full.resize(written);
    return full;
}

}  // namespace

std::wstring LongPathName(const std::wstring& name) {
    // Below this length every call takes a name as it is (folders are held to 248 characters).
    constexpr std::size_t kPlainLimit = 248;
    if (name.size() < kPlainLimit || name.rfind(L"\\\\?\\", 0) == 0 ||
        name.rfind(L"\\\\.\\", 0) == 0)
        return name;
    // The prefixed form is taken as it is, without the folding of "/", "." and "..": it is
    // made of the full name, which has them folded already.
    const std::wstring full = fullPathOrEmpty(name);
    if (full.empty()) return name;
    if (full.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + full.substr(2);  // \\server\share
    return L"\\\\?\\" + full;
}

std::wstring FullPathName(const std::wstring& name) {
    const std::wstring full = fullPathOrEmpty(name);
    return full.empty() ? name : full;
}

std::wstring Win32FileName(const std::string& utf8) {
    return LongPathName(FullPathName(WideFromUtf8(utf8)));
}

std::filesystem::path NativePath(const std::string& utf8) {
    return std::filesystem::path(LongPathName(WideFromUtf8(utf8)));
}

std::string Utf8Name(const std::filesystem::path& path) {
    std::wstring name = path.wstring();
    if (name.rfind(L"\\\\?\\UNC\\", 0) == 0)
        name = L"\\\\" + name.substr(8);
    else if (name.rfind(L"\\\\?\\", 0) == 0)
        name = name.substr(4);
    return Utf8FromWide(name);
}

bool FolderIsWritable(const std::string& folder) {
    // Folder attributes say nothing about the right to create files: try it.
    static std::atomic<unsigned> serial{0};
    std::wstring base = WideFromUtf8(folder.empty() ? std::string(".") : folder);
    if (base.back() != L'\\' && base.back() != L'/') base += L'\\';
    base += L"jqz6811-" + std::to_wstring(::GetCurrentProcessId()) + L"-";
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::wstring probe = LongPathName(base + std::to_wstring(serial++) + L".probe");
        const HANDLE h = ::CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                       FILE_ATTRIBUTE_TEMPORARY, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            ::CloseHandle(h);
            ::DeleteFileW(probe.c_str());
            return true;
        }
        if (::GetLastError() != ERROR_FILE_EXISTS) return false;
    }
    return false;
}

bool FolderIsUsersOwn(const std::string& folder) { return FolderIsWritable(folder); }

std::string ExecutableFolder() {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = ::GetModuleFileNameW(nullptr, buffer.data(),
                                             static_cast<DWORD>(buffer.size()));
        if (n == 0) return {};
        if (n < buffer.size()) {
            buffer.resize(n);
            break;
        }
        buffer.resize(buffer.size() * 2);
    }
    return Utf8Name(std::filesystem::path(buffer).parent_path());
}

namespace {

// Whether the link or junction at `name` (not what it leads to) is owned by the running user,
// by SYSTEM or by the Administrators.
bool linkOwnedByUserOrSystem(const std::wstring& name) {
    const HANDLE h = ::CreateFileW(name.c_str(), READ_CONTROL,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING,
                                   FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const DWORD got = ::GetSecurityInfo(h, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner,
                                        nullptr, nullptr, nullptr, &descriptor);
    ::CloseHandle(h);
    if (got != ERROR_SUCCESS) return false;
    bool trusted = ::IsWellKnownSid(owner, WinLocalSystemSid) ||
                   ::IsWellKnownSid(owner, WinBuiltinAdministratorsSid);
    HANDLE token = nullptr;
    if (!trusted && ::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) {
        DWORD size = 0;
        (void)::GetTokenInformation(token, TokenUser, nullptr, 0, &size);
        std::vector<unsigned char> user(size);
        if (size > 0 && ::GetTokenInformation(token, TokenUser, user.data(), size, &size))
            trusted = ::EqualSid(owner, reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid);
        ::CloseHandle(token);
    }
    ::LocalFree(descriptor);
    return trusted;
}

}  // namespace

std::string FollowTrustedLinks(const std::string& path, std::string& resolved) {
    resolved = path;
    const std::wstring full = FullPathName(WideFromUtf8(path));
    // The parts below the drive ("C:\") or the share ("\\server\share\"), each folder and then
    // the file, as far as they exist. Only name surrogates lead elsewhere: symbolic links and
    // junctions, not the placeholders of a cloud folder.
    std::size_t at = 3;
    if (full.rfind(L"\\\\", 0) == 0) {
        const std::size_t share = full.find(L'\\', 2);
        at = share == std::wstring::npos ? share : full.find(L'\\', share + 1);
        if (at != std::wstring::npos) ++at;
    }
    while (at != std::wstring::npos && at < full.size()) {
        const std::size_t end = full.find_first_of(L"\\/", at);
        const std::wstring name = full.substr(0, end);
        at = end == std::wstring::npos ? end : end + 1;
        WIN32_FIND_DATAW found{};
        const HANDLE search = ::FindFirstFileW(LongPathName(name).c_str(), &found);
        if (search == INVALID_HANDLE_VALUE) break;  // missing: nothing after it to follow
        ::FindClose(search);
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
            IsReparseTagNameSurrogate(found.dwReserved0) &&
            !linkOwnedByUserOrSystem(LongPathName(name)))
            return Utf8Name(std::filesystem::path(name)) +
                   " is a symbolic link owned by another user; links of other users are not "
                   "followed.";
    }
    return {};
}

std::FILE* OpenForReading(const std::string& path) {
    return ::_wfopen(Win32FileName(path).c_str(), L"rb");
}

}  // namespace jqz
