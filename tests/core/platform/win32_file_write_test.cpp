// Saving on Windows: what a save refuses before anything is made, what an existing file keeps
// when its contents are replaced, and names longer than MAX_PATH.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "core/platform/atomic_file.h"
#include "core/platform/native_file.h"
#include "test_support.h"
// Last: its macros would replace names of the headers above.
#include <windows.h>

namespace jqz {
namespace {

DWORD attributesOf(const std::string& path) {
    return ::GetFileAttributesW(WideFromUtf8(path).c_str());
}

// The files in a folder, by name.
std::vector<std::string> namesIn(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(NativePath(folder), ec))
        names.push_back(Utf8Name(entry.path().filename()));
    std::sort(names.begin(), names.end());
    return names;
}

TEST(Win32FileWrite, AReadOnlyFileIsRefusedAndKept) {
    test::TempDir dir;
    const std::string path = dir.file("dump.s19");
    ASSERT_EQ(WriteFileAtomically(path, "old"), "");
    ASSERT_TRUE(::SetFileAttributesW(WideFromUtf8(path).c_str(), FILE_ATTRIBUTE_READONLY));
    const std::string refusal = "Cannot write " + path + ": Permission denied";
    EXPECT_EQ(CheckFileWritable(path), refusal);
    EXPECT_EQ(WriteFileAtomically(path, "new"), refusal);
    EXPECT_EQ(ReadWholeFile(path).value_or("<missing>"), "old");
    EXPECT_EQ(attributesOf(path) & FILE_ATTRIBUTE_READONLY, DWORD{FILE_ATTRIBUTE_READONLY});
    EXPECT_EQ(namesIn(dir.path()), std::vector<std::string>{"dump.s19"});  // no leftovers
    (void)::SetFileAttributesW(WideFromUtf8(path).c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST(Win32FileWrite, FoldersAndMissingFoldersAreRefused) {
    test::TempDir dir;
    const std::pair<std::string, std::string> cases[] = {
        {dir.path(), "It is a directory, not a plain file."},
        {dir.file("missing\\dump.s19"), "No such file or directory"},
    };
    for (const auto& [path, why] : cases) {
        EXPECT_EQ(CheckFileWritable(path), "Cannot write " + path + ": " + why);
        EXPECT_EQ(WriteFileAtomically(path, "new"), "Cannot write " + path + ": " + why);
    }
    EXPECT_TRUE(namesIn(dir.path()).empty());
}

// The attributes belong to the file, not to its contents: they stay across a save.
TEST(Win32FileWrite, AReplacedFileKeepsItsAttributes) {
    test::TempDir dir;
    const std::string path = dir.file("dump.s19");
    ASSERT_EQ(WriteFileAtomically(path, "old"), "");
    const DWORD kept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE;
    ASSERT_TRUE(::SetFileAttributesW(WideFromUtf8(path).c_str(), kept));
    ASSERT_EQ(attributesOf(path) & kept, kept);
    EXPECT_EQ(CheckFileWritable(path), "");
    EXPECT_EQ(WriteFileAtomically(path, "new contents"), "");
    EXPECT_EQ(ReadWholeFile(path).value_or("<missing>"), "new contents");
    EXPECT_EQ(attributesOf(path) & kept, kept);
    EXPECT_EQ(namesIn(dir.path()), std::vector<std::string>{"dump.s19"});
}

// Names past MAX_PATH (260), absolute and relative, with folders made on the way.
TEST(Win32FileWrite, NamesLongerThanMaxPath) {
    test::TempDir dir;
    const std::string part(60, 'd');
    std::string folder = dir.path();
    for (int i = 0; i < 5; ++i) folder += "\\" + part + std::to_string(i);
    const std::string absolute = folder + "\\dump \xc3\xa9t\xc3\xa9.s19";
    ASSERT_GT(WideFromUtf8(absolute).size(), 300u);
    ASSERT_TRUE(CreateFolderOf(absolute));
    EXPECT_EQ(CheckFileWritable(absolute), "");
    EXPECT_EQ(WriteFileAtomically(absolute, "first"), "");
    EXPECT_EQ(WriteFileAtomically(absolute, "second"), "");  // replacing an existing one
    EXPECT_EQ(ReadWholeFile(absolute).value_or("<missing>"), "second");
    EXPECT_EQ(NotAPlainFile(absolute), "");
    EXPECT_EQ(NotAPlainFile(folder), "It is a directory, not a plain file.");
    // Names given back to the user carry no prefix.
    EXPECT_EQ(Utf8Name(NativePath(absolute)), absolute);

    wchar_t before[MAX_PATH];
    ASSERT_NE(::GetCurrentDirectoryW(MAX_PATH, before), 0u);
    ASSERT_TRUE(::SetCurrentDirectoryW(WideFromUtf8(dir.path()).c_str()));
    const std::string relative = folder.substr(dir.path().size() + 1) + "\\relative.bin";
    ASSERT_GT(WideFromUtf8(relative).size(), 300u);
    EXPECT_EQ(WriteFileAtomically(relative, "third"), "");
    EXPECT_EQ(ReadWholeFile(folder + "\\relative.bin").value_or("<missing>"), "third");
    EXPECT_EQ(RemoveFile(relative), true);
    EXPECT_EQ(ReadWholeFile(folder + "\\relative.bin"), std::nullopt);
    ::SetCurrentDirectoryW(before);
}

TEST(Win32FileWrite, ABareNameIsReplacedInTheCurrentFolder) {
    test::TempDir dir;
    wchar_t before[MAX_PATH];
    ASSERT_NE(::GetCurrentDirectoryW(MAX_PATH, before), 0u);
    ASSERT_TRUE(::SetCurrentDirectoryW(WideFromUtf8(dir.path()).c_str()));
    EXPECT_EQ(WriteFileAtomically("again.bin", "first"), "");
    EXPECT_EQ(WriteFileAtomically("again.bin", "second"), "");  // replaces the first
    EXPECT_EQ(CheckFileWritable("again.bin"), "");
    ::SetCurrentDirectoryW(before);
    EXPECT_EQ(ReadWholeFile(dir.file("again.bin")).value_or("<missing>"), "second");
    EXPECT_EQ(namesIn(dir.path()), std::vector<std::string>{"again.bin"});
}

TEST(Win32FileWrite, LongNamesTakeThePrefixOnlyWhenNeeded) {
    const std::wstring shortName = L"C:\\users\\dump.s19";
    EXPECT_EQ(LongPathName(shortName), shortName);
    const std::wstring deep = L"C:\\a/" + std::wstring(300, L'x') + L"\\..\\b.s19";
    EXPECT_EQ(LongPathName(deep), L"\\\\?\\C:\\a\\b.s19");
    const std::wstring unc = L"\\\\server\\share\\" + std::wstring(300, L'y');
    EXPECT_EQ(LongPathName(unc), L"\\\\?\\UNC\\server\\share\\" + std::wstring(300, L'y'));
    const std::wstring prefixed = L"\\\\?\\C:\\" + std::wstring(300, L'z');
    EXPECT_EQ(LongPathName(prefixed), prefixed);
    EXPECT_EQ(Utf8Name(std::filesystem::path(L"\\\\?\\UNC\\server\\share\\f")),
              "\\\\server\\share\\f");
}

}  // namespace
}  // namespace jqz
