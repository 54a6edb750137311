// Files made by other tools load exactly, and srec_cat reads ours byte for byte. The fixtures
// in tests/data/interop come from make_fixtures.sh there (srec_cat and the GNU 68HC11 tools).
#include <gtest/gtest.h>

#include <cstdio>
#include <random>

#include "core/files/load_file.h"
#include "core/files/save_file.h"
#include "file_test_support.h"
#include "test_support.h"

namespace jqz {
namespace {

using test::RecordingLog;
using test::RecordingSink;

const std::string kInterop = std::string(JQZ_TEST_DATA_DIR) + "/interop/";

struct Fixture {
    const char* file;
    const char* reference;   // binary whose byte 0 lands at `base`
    long long base;          // after the load's placement
    bool entire;
    long long offset;        // with entire = false: whole file range, this offset
    int notices;             // "S5" count records are not a type the reader uses
    const char* projectName;
    std::size_t landed;      // bytes of the reference that land in the image
    bool noEnd = false;      // neither an end record nor a count record says it is whole
};

const char* const kSrecHeader = "http://srecord.sourceforge.net/";

class InteropFixtures : public ::testing::TestWithParam<Fixture> {};

TEST_P(InteropFixtures, LoadExactly) {
    const Fixture& f = GetParam();
    const std::string path = kInterop + f.file;
    const std::string reference = test::FileText(kInterop + f.reference);
    ASSERT_NE(reference, "<missing>");

    const auto offered = OfferedFormats(path);
    ASSERT_TRUE(offered);
    EXPECT_EQ(offered->front(), FileFormat::Motorola);

    HexEditModel model;
    std::vector<std::string> recent;
    RecordingSink messages;
    RecordingLog log;
    LoadRequest r;
    r.fileName = path;
    r.format = offered->front();
    r.entireFile = f.entire;
    r.offsetText = std::to_string(f.offset);
    r.clear = ClearChoice::Zeros;
    const LoadResult result = LoadImageFile(r, model, recent, messages, log);
    ASSERT_TRUE(result);

    std::vector<std::string> expectedLog{"Buffer Cleared with 0x00", "Reading file : " + path};
    for (int i = 0; i < f.notices; ++i) expectedLog.push_back(kUnrecognizedSLine);
    expectedLog.push_back("Read file complete");
    // The reference's bytes that do not land lie outside the image.
    const long long outside = static_cast<long long>(reference.size() - f.landed);
    if (outside > 0)
        expectedLog.push_back("Not loaded: " + std::to_string(outside) +
                              " bytes outside the buffer (0x0000-0xFFFF).");
    if (f.noEnd)
        expectedLog.push_back("The file ends without its end record: it may have been cut short.");
    EXPECT_EQ(result.counts.outsideImage, outside);
    EXPECT_EQ(log.texts(), expectedLog);
    EXPECT_EQ(model.description.projectName(), f.projectName);

    std::size_t landed = 0;
    for (long long a = 0; a <= 0xFFFF; ++a) {
        const long long i = a - f.base;
        const bool covered = i >= 0 && i < static_cast<long long>(reference.size());
        landed += covered ? 1 : 0;
        ASSERT_EQ(model.image.ReadData(a),
                  covered ? static_cast<std::uint8_t>(reference[static_cast<std::size_t>(i)]) : 0)
            << std::hex << "address " << a;
    }
    EXPECT_EQ(landed, f.landed);
}

INSTANTIATE_TEST_SUITE_P(
    OtherTools, InteropFixtures,
    ::testing::Values(
        Fixture{"srec_s19_obs16.s19", "data.bin", 0xC000, true, 0, 1, kSrecHeader, 3000},
        Fixture{"srec_s19_obs1.s19", "data.bin", 0xC000, true, 0, 1, kSrecHeader, 3000},
        Fixture{"srec_s19_obs250_crlf.s19", "data.bin", 0x0100, true, 0, 1, kSrecHeader, 3000},
        // 0xF800..0x103B7 in the file: whole, only the part below 64 KiB lands ...
        Fixture{"srec_s28_obs32.s28", "data.bin", 0xF800, true, 0, 1, kSrecHeader, 0x800},
        // ... and moved down, all of it.
        Fixture{"srec_s28_obs32.s28", "data.bin", 0x7800, false, -0x8000, 1, kSrecHeader, 3000},
        Fixture{"srec_s28_obs64_cr.s28", "data.bin", 0x0100, false, 0x100 - 0x1F000, 0, "", 3000,
                true},
        Fixture{"srec_s28_obs200.s28", "data.bin", 0x2000, true, 0, 1, kSrecHeader, 3000},
        Fixture{"gnu_blink.s19", "gnu_blink.bin", 0xE000, true, 0, 0, "gnu_blink.s19", 0x2000},
        Fixture{"gnu_blink_len8.s19", "gnu_blink.bin", 0xE000, true, 0, 0, "gnu_blink_len8.s19",
                0x2000},
        Fixture{"gnu_blink_high.s28", "gnu_blink.bin", 0xE000, false, -0x10000, 0,
                "gnu_blink_high.s28", 0x2000}),
    [](const auto& info) {
        std::string name = info.param.file;
        for (char& c : name)
            if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
        return name + (info.param.entire ? "" : "_moved");
    });

TEST(InteropFixtures, TheGnuProgramHasItsResetVector) {
    HexEditModel model;
    RecordingLog log;
    model.image.BeginBulk();
    ASSERT_EQ(readMotorolaFile(kInterop + "gnu_blink.s19", {}, model.image, model.description, log), "");
    EXPECT_EQ(model.image.ReadData(0xFFFE), 0xE0);
    EXPECT_EQ(model.image.ReadData(0xFFFF), 0x00);
    EXPECT_EQ(model.image.ReadData(0xE000), 0x8E) << "lds #";
}

#ifndef _WIN32
// srec_cat and its kin are tools of the build machine; the Windows build reads the same
// fixtures above and leaves the comparison with them to the Linux build.

using test::RunShell;

TEST(SrecCat, ReadsOurSRecordsByteForByte) {
    ASSERT_EQ(RunShell("command -v srec_cat srec_cmp srec_info").first, 0)
        << "srec_cat, srec_cmp and srec_info are needed: install the package srecord "
           "(scripts/install-deps.sh does)";
    test::TempDir dir;
    HexEditModel model;
    std::mt19937 random(3);
    model.image.BeginBulk();
    for (int a = 0; a <= 0xFFFF; ++a) model.image.WriteData(a, static_cast<std::uint8_t>(random()));
    model.image.EndBulk();
    model.description.setProjectName("interop check");
    auto path = [&](const char* name) { return dir.file(name); };
    const std::string q = "'";
    ASSERT_EQ(writeMotorolaFile(path("ours.s19"), model.image, model.description, MotorolaVariant::S1, {}), "");
    ASSERT_EQ(writeMotorolaFile(path("ours.s28"), model.image, model.description, MotorolaVariant::S2, {}), "");
    ASSERT_EQ(writeBinaryFile(path("ours.bin"), model.image, 0, 0xFFFF), "");
    ASSERT_EQ(writeMotorolaFile(path("range.s28"), model.image, model.description, MotorolaVariant::S2,
                                {0x1234, 0xF00F, false}),
              "");
    ASSERT_EQ(writeBinaryFile(path("range.bin"), model.image, 0x1234, 0xF00F), "");

    for (const char* s : {"ours.s19", "ours.s28"}) {
        const auto [status, output] =
            RunShell("srec_cmp " + q + path(s) + q + " -motorola " + q + path("ours.bin") + q + " -binary");
        EXPECT_EQ(status, 0) << s << ": " << output;
        const auto info = RunShell("srec_info " + q + path(s) + q + " -motorola");
        EXPECT_EQ(info.first, 0) << info.second;
        EXPECT_NE(info.second.find("Header: \"interop check\""), std::string::npos) << info.second;
        EXPECT_NE(info.second.find("0000 - FFFF"), std::string::npos) << info.second;
        EXPECT_EQ(info.second.find("arning"), std::string::npos) << info.second;
    }
    auto range = RunShell("srec_cmp " + q + path("range.s28") + q + " -motorola " + q + path("range.bin") +
                     q + " -binary -offset 0x1234");
    EXPECT_EQ(range.first, 0) << range.second;

    // srec_cat's own conversion of our S2 file gives exactly our binary file.
    const auto conv = RunShell("srec_cat " + q + path("ours.s28") + q + " -motorola -o " + q +
                          path("conv.bin") + q + " -binary");
    ASSERT_EQ(conv.first, 0) << conv.second;
    EXPECT_TRUE(test::FileText(path("conv.bin")) == test::FileText(path("ours.bin")));

    // The check itself: one changed data digit makes srec_cat refuse the file.
    std::string text = test::FileText(path("ours.s19"));
    text[text.find("\r\nS1") + 2 + 8] ^= 1;
    test::WriteText(path("bad.s19"), text);
    EXPECT_NE(RunShell("srec_cmp " + q + path("bad.s19") + q + " -motorola " + q + path("ours.bin") + q +
                  " -binary")
                  .first,
              0);
}

#endif

}  // namespace
}  // namespace jqz
