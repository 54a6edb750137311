#include "core/app/program_folder.h"
#include "core/device/program_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "core/device/supported_device_list.h"
#include "test_support.h"

namespace jqz {
namespace {

namespace fs = std::filesystem;

TEST(ProgramFolder, BuildTreeInstalledTreeAndNeither) {
    test::TempDir dir;
    const fs::path root = dir.path();
    // build tree: dhelp beside the executable
    fs::create_directories(root / "build" / "dhelp");
    EXPECT_EQ(ProgramDataFolder((root / "build").string()), (root / "build").string());
    // installed: <prefix>/bin and <prefix>/share/jqz6811
    fs::create_directories(root / "prefix" / "bin");
    fs::create_directories(root / "prefix" / "share" / "jqz6811" / "dhelp");
    EXPECT_EQ(ProgramDataFolder((root / "prefix" / "bin").string()),
              (root / "prefix" / "share" / "jqz6811").string());
    // the manual alone is enough to mark the folder
    fs::create_directories(root / "manual-only");
    { std::ofstream((root / "manual-only" / "j11prog.pdf").string()) << "%PDF-"; }
    EXPECT_EQ(ProgramDataFolder((root / "manual-only").string()), (root / "manual-only").string());
    // neither: the executable's folder, so that missing files give empty results
    fs::create_directories(root / "bare" / "bin");
    EXPECT_EQ(ProgramDataFolder((root / "bare" / "bin").string()), (root / "bare" / "bin").string());
}

TEST(ProgramFolder, ManualPath) {
    EXPECT_EQ(UserManualPath("/usr/share/jqz6811"), "/usr/share/jqz6811/j11prog.pdf");
    EXPECT_EQ(UserManualPath("/opt/x/"), "/opt/x/j11prog.pdf");
}

bool Contains(const std::vector<std::string>& list, const std::string& item) {
    return std::find(list.begin(), list.end(), item) != list.end();
}

TEST(ProgramFiles, TheBuildTreeHoldsEveryDocumentAndDrawing) {
    const fs::path dhelp(JQZ_DHELP_DIR);
    test::TempDir dir;
    const std::string manual = (fs::path(dir.path()) / "j11prog.pdf").string();
    { std::ofstream(manual) << "%PDF-"; }
    const auto report = CheckProgramFiles(SupportedDeviceList(dhelp.parent_path().string()), manual);
    EXPECT_TRUE(report.missing.empty()) << report.missing.front();
    ASSERT_EQ(report.lines.size(), 3u);
    EXPECT_EQ(report.lines[2], "manual: " + manual);
}

TEST(ProgramFiles, NamesEachMissingFile) {
    test::TempDir dir;
    const fs::path root = dir.path();
    fs::create_directories(root / "dhelp");
    { std::ofstream((root / "dhelp" / "E9.rtf").string()) << "{\\rtf1}"; }
    { std::ofstream((root / "dhelp" / "E_QFP64.emf").string()) << "x"; }
    // a folder of the same name is not the document
    fs::create_directories(root / "dhelp" / "A8.rtf");
    const std::string manual = (root / "j11prog.pdf").string();
    const auto report = CheckProgramFiles(SupportedDeviceList(root.string()), manual);
    const std::string d = (root / "dhelp").string() + "/";
    EXPECT_EQ(report.lines[0].rfind("quick-info documents: 1 of ", 0), 0u) << report.lines[0];
    EXPECT_EQ(report.lines[1].rfind("package drawings: 1 of ", 0), 0u) << report.lines[1];
    EXPECT_EQ(report.lines[2], "manual: " + manual + " (missing)");
    EXPECT_TRUE(Contains(report.missing, d + "A8.rtf"));
    EXPECT_TRUE(Contains(report.missing, d + "K4.rtf"));
    EXPECT_TRUE(Contains(report.missing, d + "E_PLCC52.emf"));
    EXPECT_TRUE(Contains(report.missing, manual));
    EXPECT_FALSE(Contains(report.missing, d + "E9.rtf"));
    EXPECT_FALSE(Contains(report.missing, d + "E_QFP64.emf"));
    EXPECT_TRUE(Contains(report.lines, "missing: " + manual));
}

}  // namespace
}  // namespace jqz
