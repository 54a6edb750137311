#pragma once
// File names cross into the operating system here. The program holds every name as UTF-8;
// Windows takes UTF-16, so a name with "é" in it must be converted, never passed as bytes.
#include <cstdio>
#include <filesystem>
#include <string>

namespace jqz {

// What separates folders in the names the program shows and stores.
#ifdef _WIN32
inline constexpr char kFolderSeparator = '\\';
#else
inline constexpr char kFolderSeparator = '/';
#endif

// Whether the names the program holds are UTF-8 whatever the system's own encoding: on
// Windows, where they cross into the system as UTF-16. Elsewhere a name is the system's bytes.
#ifdef _WIN32
inline constexpr bool kNamesAreUtf8 = true;
#else
inline constexpr bool kNamesAreUtf8 = false;
#endif

// The name as the operating system's own path (UTF-16 on Windows).
std::filesystem::path NativePath(const std::string& utf8);
// A path of the operating system as UTF-8 (without the "\\?\" prefix of a long name).
std::string Utf8Name(const std::filesystem::path& path);

// Whether a new file can be written into the folder.
bool FolderIsWritable(const std::string& folder);

// Whether the folder is the running user's own: owned by that user and writable. On Windows,
// where ownership says little, whether it is writable.
bool FolderIsUsersOwn(const std::string& folder);

// Creates the folders above the file's name that do not exist yet.
bool CreateFolderOf(const std::string& filePath);

// Deletes the file; true when it is gone (or was not there).
bool RemoveFile(const std::string& path);

// Where a name that is about to be written leads, following only the symbolic links that the
// running user or the system made (owned by that user or by root; on Windows, symbolic links
// and junctions owned by that user, SYSTEM or the Administrators). In a folder that others
// may write to, a link planted by another user would otherwise lead a write of this user's
// (of root's, above all) to any file the link names. Empty on success, with `resolved` set
// to the name the file is opened by: every link of the name resolved, so that it may be
// opened without following one (on Windows the name as given); the file itself and the
// folders above it need not exist yet. Otherwise the message that refuses the name.
std::string FollowTrustedLinks(const std::string& path, std::string& resolved);

// Opens a file for reading by its name, as std::fopen(path, "rb") does.
std::FILE* OpenForReading(const std::string& path);

// The folder of the running program, UTF-8; empty when unknown.
std::string ExecutableFolder();

#ifdef _WIN32
// UTF-8 <-> UTF-16; invalid sequences become U+FFFD.
std::wstring WideFromUtf8(const std::string& utf8);
std::string Utf8FromWide(const std::wstring& wide);
// The name for a Win32 file call: a name too long for the plain form (MAX_PATH) is made
// full and given the "\\?\" prefix, under which names of up to 32767 characters work.
std::wstring LongPathName(const std::wstring& name);
// The full name of a bare or relative one, against the current folder (the name itself when
// that fails). Every name a file call takes is made full first: Wine's ReplaceFileW fails with
// ERROR_DIRECTORY when the file it replaces is named bare ("again.bin").
std::wstring FullPathName(const std::wstring& name);
std::wstring Win32FileName(const std::string& utf8);
// The cause of a Win32 error in the words strerror gives the like POSIX error.
std::string Win32ErrorText(unsigned long error);
#endif

}  // namespace jqz
