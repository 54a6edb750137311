#include "core/app/program_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

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

}  // namespace
}  // namespace jqz
