#include <gtest/gtest.h>

#include <random>

#include "core/platform/atomic_file.h"
#include "core/app/settings_file.h"
#include "test_support.h"

namespace jqz {
namespace {

AppSettings readSettings(const std::string& text) {
    AppSettings s;
    s.readFrom(NameValueList::Parse(text));
    return s;
}

TEST(SettingsFile, DefaultsWithoutAFile) {
    const AppSettings s = readSettings("");
    EXPECT_EQ(s.portName, "COM1");
    EXPECT_EQ(s.baudRate, 9600);
    EXPECT_EQ(s.appearance.LeftFont, "System");
    EXPECT_EQ(s.appearance.RightFont, "Terminal");
    EXPECT_EQ(ColorToColorIndex(s.appearance.BackgroundColor), 63);
    EXPECT_EQ(ColorToColorIndex(s.appearance.AddressColor), 21);
    EXPECT_EQ(ColorToColorIndex(s.appearance.WorkColor), 48);
    EXPECT_EQ(ColorToColorIndex(s.appearance.EditedColor), 3);
    EXPECT_EQ(ColorToColorIndex(s.appearance.UnimplementedColor), 58);
    EXPECT_TRUE(s.recentFiles.empty());
}

TEST(SettingsFile, OnlyThePortChanges) {
    const AppSettings s = readSettings("COMM_PORT=COM3\r\n");
    AppSettings expected;
    expected.portName = "COM3";
    EXPECT_EQ(s.toList().text(), expected.toList().text());
}

TEST(SettingsFile, ValuesThatDoNotConvertKeepTheirDefaultsAndTheRestApplies) {
    const AppSettings s = readSettings(
        "P_WIN_POS_LEFT=abc\nP_WIN_POS_TOP=-40\nCOMM_SPEED=96OO\nH_WIN_VISIBLE=-1\n"
        "HE_BG_COLOR=85\nHE_EDIT_COLOR=\nE_WIN_VISIBLE=0x1\nCOMM_PORT=/dev/ttyUSB0\n"
        "P_WIN_POS_WIDTH=99999999999\n");
    EXPECT_EQ(s.mainWindow.left, 0);
    EXPECT_EQ(s.mainWindow.top, -40);
    EXPECT_EQ(s.mainWindow.width, 0);
    EXPECT_EQ(s.baudRate, 9600);
    EXPECT_TRUE(s.editor.EditorVisible);
    EXPECT_FALSE(s.editor.DescriptionVisible);
    EXPECT_EQ(s.appearance.BackgroundColor, (Rgb{85, 85, 85}));
    EXPECT_EQ(ColorToColorIndex(s.appearance.EditedColor), 3);
    EXPECT_EQ(s.portName, "/dev/ttyUSB0");
}

TEST(SettingsFile, NamesInAnyCaseFirstCountsOtherLinesIgnored) {
    const AppSettings s = readSettings(
        "comm_port=COM4\r\nCOMM_PORT=COM5\r\n[section]\r\n; comment\r\nnonsense\r\n=x\r\n"
        "Comm_Speed=57600\rHE_LWIN_FONT=Courier New\n");
    EXPECT_EQ(s.portName, "COM4");
    EXPECT_EQ(s.baudRate, 57600);
    EXPECT_EQ(s.appearance.LeftFont, "Courier New");
}

TEST(SettingsFile, RecentFilesCloseGapsAndWriteAtMostFive) {
    AppSettings s = readSettings("LOF2=c\r\nLOF0=a\r\nLOF7=z\r\n");
    EXPECT_EQ(s.recentFiles, (std::vector<std::string>{"a", "c"}));
    std::string text = s.toList().text();
    EXPECT_NE(text.find("LOF0=a\r\nLOF1=c\r\n"), std::string::npos);

    s.recentFiles = {"f0", "0", "f2", "f3", "f4", "f5"};
    text = s.toList().text();
    EXPECT_NE(text.find("LOF0=f0\r\nLOF2=f2\r\nLOF3=f3\r\nLOF4=f4\r\n"), std::string::npos);
    EXPECT_EQ(text.find("LOF1"), std::string::npos);
    EXPECT_EQ(text.find("f5"), std::string::npos);
}

TEST(SettingsFile, WritesEveryKeyInOrder) {
    AppSettings s;
    s.appearance.BackgroundColor = Rgb{200, 90, 40};
    s.editor.EditorVisible = true;
    s.recentFiles = {"/tmp/x.jef"};
    const std::string expected =
        "P_WIN_POS_LEFT=0\r\nP_WIN_POS_TOP=0\r\nP_WIN_POS_HEIGHT=0\r\nP_WIN_POS_WIDTH=0\r\n"
        "DPV_WIN_POS_LEFT=0\r\nDPV_WIN_POS_TOP=0\r\nDPV_WIN_POS_HEIGHT=0\r\nDPV_WIN_POS_WIDTH=0\r\n"
        "DPV_WIN_VISIBLE=0\r\n"
        "H_WIN_POS_LEFT=0\r\nH_WIN_POS_TOP=0\r\nH_WIN_POS_HEIGHT=0\r\nH_WIN_POS_WIDTH=0\r\n"
        "H_WIN_VISIBLE=1\r\nH_SPLIT_POS_LEFT=0\r\n"
        "E_WIN_POS_LEFT=0\r\nE_WIN_POS_TOP=0\r\nE_WIN_POS_HEIGHT=0\r\nE_WIN_POS_WIDTH=0\r\n"
        "E_WIN_VISIBLE=0\r\n"
        "HE_LWIN_FONT=System\r\nHE_RWIN_FONT=Terminal\r\nHE_FONT_SIZE=13\r\n"
        "HE_BG_COLOR=6\r\nHE_FIX_COLOR=21\r\n"
        "HE_NOFIX_COLOR=48\r\nHE_EDIT_COLOR=3\r\nHE_UIN_COLOR=58\r\n"
        "COMM_PORT=COM1\r\nCOMM_SPEED=9600\r\nLOF0=/tmp/x.jef\r\n";
    EXPECT_EQ(s.toList().text(), expected);
}

TEST(SettingsFile, SkipBlankBlocksIsWrittenOnlyWhenOn) {
    AppSettings s = readSettings("COMM_PORT=COM2\r\nSKIP_BLANK_BLOCKS=1\r\n");
    EXPECT_TRUE(s.skipBlankBlocks);
    EXPECT_NE(s.toList().text().find("SKIP_BLANK_BLOCKS=1\r\n"), std::string::npos);
    for (const char* text : {"", "SKIP_BLANK_BLOCKS=0\r\n", "SKIP_BLANK_BLOCKS=yes\r\n"}) {
        s = readSettings(text);
        EXPECT_FALSE(s.skipBlankBlocks) << text;
        EXPECT_EQ(s.toList().text().find("SKIP_BLANK"), std::string::npos) << text;
    }
}

// The device last selected comes back as written, blanks and all, after every other key;
// without it there is none.
TEST(SettingsFile, TheDeviceIsWrittenLastWhenThereIsOne) {
    AppSettings s = readSettings("DEVICE=MC68HC11  E9 (D82R)\r\nCOMM_PORT=COM2\r\nLOF0=/tmp/a.jef\r\n"
                                 "SKIP_BLANK_BLOCKS=1\r\n");
    EXPECT_EQ(s.device, "MC68HC11  E9 (D82R)");
    const std::string text = s.toList().text();
    EXPECT_EQ(text.substr(text.find("LOF0=")),
              "LOF0=/tmp/a.jef\r\nSKIP_BLANK_BLOCKS=1\r\nDEVICE=MC68HC11  E9 (D82R)\r\n");
    s = readSettings("COMM_PORT=COM2\r\n");
    EXPECT_EQ(s.device, "");
    EXPECT_EQ(s.toList().text().find("DEVICE"), std::string::npos);
}

// The connection: a file without LINK means the programmer, and its cable keys are not
// written; once the cable was chosen or set up they follow every other key.
TEST(SettingsFile, TheConnectionAndTheCableKeys) {
    AppSettings s = readSettings("COMM_PORT=COM2\r\nDEVICE=MC68HC11  E9 (D82R)\r\n");
    EXPECT_EQ(s.link, LinkKind::Programmer);
    EXPECT_EQ(s.boot.xtalMHz, 8.0);
    EXPECT_EQ(s.boot.reset, BootReset::None);
    EXPECT_EQ(s.boot.rate, BootRate::Fast);
    EXPECT_EQ(s.toList().text().find("LINK"), std::string::npos);
    EXPECT_EQ(s.toList().text().find("BOOT_"), std::string::npos);

    s = readSettings("link=bootstrap\r\nBOOT_XTAL_MHZ=7.3728\r\nBOOT_RESET=rts\r\n"
                     "BOOT_RATE=1200\r\nDEVICE=MC68HC11  E9 (D82R)\r\n");
    EXPECT_EQ(s.link, LinkKind::BootstrapCable);
    EXPECT_EQ(s.boot.xtalMHz, 7.3728);
    EXPECT_EQ(s.boot.reset, BootReset::Rts);
    EXPECT_EQ(s.boot.rate, BootRate::Slow1200);
    std::string text = s.toList().text();
    EXPECT_EQ(text.substr(text.find("DEVICE=")),
              "DEVICE=MC68HC11  E9 (D82R)\r\nLINK=BOOTSTRAP\r\nBOOT_XTAL_MHZ=7.3728\r\n"
              "BOOT_RESET=RTS\r\nBOOT_RATE=1200\r\n");

    // Back to the programmer, the cable's set-up is kept for the next time.
    s.link = LinkKind::Programmer;
    s.boot.reset = BootReset::Dtr;
    text = s.toList().text();
    EXPECT_NE(text.find("LINK=PROGRAMMER\r\nBOOT_XTAL_MHZ=7.3728\r\nBOOT_RESET=DTR\r\n"),
              std::string::npos);
    EXPECT_EQ(readSettings(text).link, LinkKind::Programmer);
    EXPECT_EQ(readSettings(text).boot.reset, BootReset::Dtr);

    // Values that do not convert keep their defaults.
    for (const char* bad : {"LINK=CABLE\r\nBOOT_XTAL_MHZ=0.5\r\nBOOT_RESET=X\r\nBOOT_RATE=9600\r\n",
                            "BOOT_XTAL_MHZ=17\r\n", "BOOT_XTAL_MHZ=8MHz\r\n", "BOOT_XTAL_MHZ=8,0\r\n"}) {
        s = readSettings(bad);
        EXPECT_EQ(s.link, LinkKind::Programmer) << bad;
        EXPECT_EQ(s.boot.xtalMHz, 8.0) << bad;
        EXPECT_EQ(s.boot.reset, BootReset::None) << bad;
        EXPECT_EQ(s.boot.rate, BootRate::Fast) << bad;
    }
}

TEST(SettingsFile, EmptyValuesAreNeverWritten) {
    AppSettings s;
    s.portName.clear();
    s.appearance.LeftFont.clear();
    s.recentFiles = {""};
    const std::string text = s.toList().text();
    EXPECT_EQ(text.find("COMM_PORT"), std::string::npos);
    EXPECT_EQ(text.find("HE_LWIN_FONT"), std::string::npos);
    EXPECT_EQ(text.find("LOF0"), std::string::npos);
}

TEST(SettingsFile, RoundTripThroughAFile) {
    test::TempDir dir;
    AppSettings s;
    s.mainWindow = {-5, 10, 480, 640};
    s.packageView = {1, 2, 3, 4, true};
    s.editor = {11, 12, 13, 14, 150, true, 21, 22, 23, 24, false};
    s.portName = "/dev/ttyS3";
    s.baudRate = 38400;
    s.recentFiles = {"a b.s19", "c.bin"};
    ASSERT_EQ(WriteFileAtomically(dir.file("jqz6811.ini"), s.toList().text()), "");
    const auto bytes = ReadWholeFile(dir.file("jqz6811.ini"));
    ASSERT_TRUE(bytes);
    const AppSettings back = readSettings(*bytes);
    EXPECT_EQ(back.mainWindow, s.mainWindow);
    EXPECT_EQ(back.packageView, s.packageView);
    EXPECT_EQ(back.editor, s.editor);
    EXPECT_EQ(back.portName, s.portName);
    EXPECT_EQ(back.baudRate, s.baudRate);
    EXPECT_EQ(back.recentFiles, s.recentFiles);
}

TEST(SettingsFile, TheEditorFontSizeIsHeldToWhatTheGridsCanShow) {
    struct Case {
        const char* text;
        int pixels;
    };
    const Case cases[] = {
        {"", 13}, {"HE_FONT_SIZE=20\r\n", 20}, {"HE_FONT_SIZE=3\r\n", 8},
        {"HE_FONT_SIZE=99\r\n", 40}, {"HE_FONT_SIZE=big\r\n", 13},
    };
    for (const Case& c : cases) EXPECT_EQ(readSettings(c.text).appearance.FontPixels, c.pixels) << c.text;
    // The default font names are kept as names, whatever fonts the desktop has.
    const AppSettings s = readSettings("HE_LWIN_FONT=System\r\nHE_RWIN_FONT=Terminal\r\n");
    EXPECT_EQ(s.appearance.LeftFont, "System");
    EXPECT_EQ(s.appearance.RightFont, "Terminal");
}

TEST(SettingsFile, RandomBytesAndHugeFilesDoNotHurt) {
    std::mt19937 rng(42);
    std::string junk(1 << 20, '\0');
    for (auto& c : junk) c = static_cast<char>(rng());
    const AppSettings s = readSettings(junk);
    EXPECT_EQ(s.recentFiles.size() <= 5, true);
    std::string big;
    while (big.size() < 10u * 1024u * 1024u) big += "X_KEY=" + std::string(100, 'v') + "\r\n";
    big += "COMM_PORT=COM9\r\n";
    EXPECT_EQ(readSettings(big).portName, "COM9");
}

#ifndef _WIN32
// The settings file follows the base directory rules; a relative XDG_CONFIG_HOME counts as
// unset, so that settings never land in whatever the working folder is.
TEST(SettingsFile, TheSettingsFolderIsTheConfigFolder) {
    struct Case {
        const char* config;  // nullptr: unset
        const char* path;
    };
    const Case cases[] = {
        {"/c/config", "/c/config/jqz6811.ini"},
        {nullptr, "/h/me/.config/jqz6811.ini"},
        {"", "/h/me/.config/jqz6811.ini"},
        {"relative/config", "/h/me/.config/jqz6811.ini"},
        {".", "/h/me/.config/jqz6811.ini"},
    };
    const test::ScopedEnv home("HOME", "/h/me");
    const test::ScopedEnv config("XDG_CONFIG_HOME", nullptr);
    for (const Case& c : cases) {
        config.set(c.config);
        EXPECT_EQ(DefaultSettingsPath(), c.path) << (c.config != nullptr ? c.config : "(unset)");
    }
}
#endif

TEST(AtomicFile, AFailedWriteKeepsTheOldFile) {
    test::TempDir dir;
    const std::string path = dir.file("keep.ini");
    ASSERT_EQ(WriteFileAtomically(path, "old"), "");
    // A target that is a folder cannot be replaced by a file.
    std::filesystem::create_directory(dir.file("folder"));
    EXPECT_NE(WriteFileAtomically(dir.file("folder"), "new"), "");
    EXPECT_NE(WriteFileAtomically(dir.file("missing/x.ini"), "new"), "");
    EXPECT_EQ(*ReadWholeFile(path), "old");
    for (const auto& e : std::filesystem::directory_iterator(dir.path()))
        EXPECT_EQ(e.path().filename().string().find(".tmp~"), std::string::npos) << e.path();
}

}  // namespace
}  // namespace jqz
