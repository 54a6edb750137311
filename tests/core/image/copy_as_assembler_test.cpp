// The assembler table of Copy As, assembled by the GNU 68HC11 assembler in Motorola syntax:
// the object's bytes are the image's cells, in order, with nothing added at the line breaks.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "core/image/copy_as.h"
#include "core/image/hex_edit_model.h"
#include "file_test_support.h"
#include "test_support.h"

namespace jqz {
namespace {

struct AssemblerCase {
    const char* name;
    CellSet cells;
};

class AssemblerTable : public ::testing::TestWithParam<AssemblerCase> {};

// Runs a command through the shell; its standard error goes to errFile.
int RunTool(const std::string& command, const std::string& errFile) {
    return std::system((command + " 2>'" + errFile + "'").c_str());
}

TEST_P(AssemblerTable, AssemblesToTheCells) {
    HexEditModel model;
    model.image.BeginBulk();
    // Zeros among the data, so that an extra 00 byte at a line break cannot hide.
    for (int a = 0; a <= 0xFFFF; ++a)
        model.image.WriteData(a, static_cast<std::uint8_t>(a % 7 == 0 ? 0 : (a * 37 + 11)));
    model.image.EndBulk();
    const CellSet& cells = GetParam().cells;

    test::TempDir dir;
    test::WriteText(dir.file("table.s"), AssemblerText(model.image, cells) + "\r\n");
    ASSERT_EQ(RunTool("m68hc11-as --mri -o '" + dir.file("table.o") + "' '" + dir.file("table.s") + "'",
                  dir.file("as.err")),
              0)
        << test::FileText(dir.file("as.err"));
    // The assembler accepts every line without a warning.
    EXPECT_EQ(test::FileText(dir.file("as.err")), "");
    ASSERT_EQ(RunTool("m68hc11-objcopy -O binary -j .text '" + dir.file("table.o") + "' '" +
                      dir.file("table.bin") + "'",
                  dir.file("objcopy.err")),
              0)
        << test::FileText(dir.file("objcopy.err"));

    std::string expected;
    cells.forEach([&](int a) { expected.push_back(static_cast<char>(model.image.ReadData(a))); });
    const std::string assembled = test::FileText(dir.file("table.bin"));
    ASSERT_EQ(assembled.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i)
        ASSERT_EQ(static_cast<int>(static_cast<unsigned char>(assembled[i])),
                  static_cast<int>(static_cast<unsigned char>(expected[i])))
            << "item " << i;
}

INSTANTIATE_TEST_SUITE_P(
    Gnu68hc11, AssemblerTable,
    ::testing::Values(AssemblerCase{"OneCell", CellSet::Range(0xFFFF, 0xFFFF)},
                      AssemblerCase{"AcrossOneBreak", CellSet::Range(0x0E, 0x11)},
                      AssemblerCase{"SeveralRows", CellSet::Range(0x05, 0x54)},
                      AssemblerCase{"Selection", CellSet::Selection({2, 3, 9, 12})},
                      AssemblerCase{"WholeImage", CellSet::Range(0, 0xFFFF)}),
    [](const ::testing::TestParamInfo<AssemblerCase>& info) { return info.param.name; });

}  // namespace
}  // namespace jqz
