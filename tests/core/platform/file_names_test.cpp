// File names beyond ASCII: the program holds names as UTF-8, and the file on disk must carry
// exactly that name (on Windows the name crosses as UTF-16; passed as bytes it would come out
// in the ANSI code page, and the file would have another name).
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "core/platform/atomic_file.h"
#include "core/platform/native_file.h"
#include "core/files/load_file.h"
#include "core/files/save_file.h"
#include "file_test_support.h"
#include "test_support.h"

namespace jqz {
namespace {

// Every name in the folder, as UTF-8.
std::vector<std::string> namesIn(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(NativePath(folder)))
        names.push_back(Utf8Name(e.path().filename()));
    std::sort(names.begin(), names.end());
    return names;
}

struct NameCase {
    const char* name;
    SaveFormat format;
};

class FileNames : public ::testing::TestWithParam<NameCase> {};

TEST_P(FileNames, AnImageSavesAndLoadsUnderItsOwnName) {
    test::TempDir dir;
    const std::string path = dir.file(GetParam().name);
    HexEditModel source;
    for (int a = 0xB600; a < 0xB800; ++a)
        source.image.WriteData(a, static_cast<std::uint8_t>(a * 7));
    test::RecordingSink messages;
    test::RecordingLog log;
    SaveRequest save;
    save.fileName = path;
    save.format = GetParam().format;
    save.entireBuffer = false;
    save.lowestText = "0xB600";
    save.highestText = "0xB7FF";
    ASSERT_TRUE(SaveImageFile(save, source, messages, log)) << log.texts().back();
    EXPECT_EQ(namesIn(dir.path()), std::vector<std::string>{GetParam().name});

    HexEditModel target;
    std::vector<std::string> recent;
    const auto offered = OfferedFormats(path);
    ASSERT_TRUE(offered);
    LoadRequest load;
    load.fileName = path;
    load.format = offered->front();
    if (GetParam().format == SaveFormat::Binary) {
        load.entireFile = false;
        load.offsetText = "0xB600";
    }
    ASSERT_TRUE(LoadImageFile(load, target, recent, messages, log)) << log.texts().back();
    for (int a = 0xB600; a < 0xB800; ++a)
        ASSERT_EQ(target.image.ReadData(a), source.image.ReadData(a)) << a;
    EXPECT_EQ(recent, std::vector<std::string>{path});
    EXPECT_TRUE(messages.errors.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Accents, FileNames,
    ::testing::Values(NameCase{"donn\xC3\xA9" "es.jef", SaveFormat::Extended},
                      NameCase{"\xC3\xA9t\xC3\xA9 2026.s19", SaveFormat::MotorolaS1},
                      NameCase{"caf\xC3\xA9.bin", SaveFormat::Binary},
                      NameCase{"\xE6\xB8\xA9\xE5\xBA\xA6.s28", SaveFormat::MotorolaS2}));

// A name as long as a folder takes (255 bytes, and as many UTF-16 units): the save's
// temporary name beside it must keep within the limit too.
const std::string kLongestName = std::string(251, 'n') + ".jef";
INSTANTIATE_TEST_SUITE_P(Longest, FileNames,
                         ::testing::Values(NameCase{kLongestName.c_str(), SaveFormat::Extended}));

TEST(FileNamesInFolders, SettingsInAFolderWithAnAccent) {
    test::TempDir dir;
    const std::string path = dir.file("R\xC3\xA9glages") + kFolderSeparator + "jqz6811.ini";
    ASSERT_TRUE(CreateFolderOf(path));
    ASSERT_EQ(WriteFileAtomically(path, "COMM_PORT=COM3\r\n"), "");
    ASSERT_EQ(WriteFileAtomically(path, "COMM_PORT=COM4\r\n"), "") << "replaces the old file";
    EXPECT_EQ(test::FileText(path), "COMM_PORT=COM4\r\n");
    EXPECT_EQ(namesIn(dir.path()), std::vector<std::string>{"R\xC3\xA9glages"});
    EXPECT_EQ(namesIn(dir.file("R\xC3\xA9glages")), std::vector<std::string>{"jqz6811.ini"});
    EXPECT_TRUE(FolderIsWritable(dir.file("R\xC3\xA9glages")));
    EXPECT_TRUE(RemoveFile(path));
    EXPECT_TRUE(namesIn(dir.file("R\xC3\xA9glages")).empty());
    EXPECT_FALSE(FolderIsWritable(dir.file("missing")));
}

}  // namespace
}  // namespace jqz
