// The talker's protocol on the host side: frames, replies, the CRC, the rates and delays for
// a crystal, the parts the cable serves, and the assembled talker itself.
#include <gtest/gtest.h>

#include <numeric>
#include <string>
#include <vector>

#include "core/link/boot_part.h"
#include "core/link/bootstrap_link.h"
#include "core/link/talker_image.h"
#include "core/link/talker_protocol.h"

namespace jqz {
namespace {

std::uint8_t sum(std::span<const std::uint8_t> bytes) {
    return static_cast<std::uint8_t>(std::accumulate(bytes.begin(), bytes.end(), 0u));
}

TEST(TalkerProtocol, FramesSumTo0xA5) {
    const auto f = MakeTalkerFrame(talker::kRead, 0xB600, 0, 0);
    EXPECT_EQ(f[0], 'R');
    EXPECT_EQ(f[1], 0xB6);
    EXPECT_EQ(f[2], 0x00);
    EXPECT_EQ(sum(f), 0xA5);
    // A line of breaks (0x00) is no frame.
    const std::uint8_t zeros[6] = {};
    EXPECT_NE(sum(zeros), 0xA5);
}

std::vector<std::uint8_t> goodReply(const TalkerFrame& f, std::vector<std::uint8_t> data) {
    std::vector<std::uint8_t> r{f[0]};
    r.insert(r.end(), data.begin(), data.end());
    r.push_back(static_cast<std::uint8_t>(0xA5 + sum(r)));
    return r;
}

TEST(TalkerProtocol, RepliesAreCheckedWholly) {
    const auto f = MakeTalkerFrame(talker::kRead, 0xB600, 3, 0);
    ASSERT_EQ(TalkerReplyDataLength(f, 12), 3u);
    const auto good = goodReply(f, {1, 2, 3});
    const auto ok = CheckTalkerReply(f, 3, good);
    ASSERT_TRUE(ok.ok) << ok.error;
    EXPECT_EQ(ok.data, (std::vector<std::uint8_t>{1, 2, 3}));

    struct Case {
        const char* what;
        std::vector<std::uint8_t> received;
        const char* error;
    };
    auto changed = good;
    changed[2] ^= 0x10;
    auto wrongCommand = good;
    wrongCommand[0] = 'C';
    auto longer = good;
    longer.push_back(0);
    const Case cases[] = {
        {"nothing", {}, "The talker does not answer."},
        {"rejected", {'?'}, "The talker received a damaged command (its checksum failed)."},
        {"cut short", {good.begin(), good.begin() + 3},
         "The talker's answer stopped after 3 of 5 bytes."},
        {"a changed byte", changed, "The talker's answer failed its checksum."},
        {"another command's", wrongCommand, "The talker answered 0x43 instead of 0x52."},
        {"too long", longer, "The talker sent more than its answer."},
    };
    for (const auto& c : cases) {
        const auto r = CheckTalkerReply(f, 3, c.received);
        EXPECT_FALSE(r.ok) << c.what;
        EXPECT_EQ(r.error, c.error) << c.what;
    }
}

TEST(TalkerProtocol, ReplyLengthsByCommand) {
    EXPECT_EQ(TalkerReplyDataLength(MakeTalkerFrame('R', 0, 0, 0), 12), 256u);
    EXPECT_EQ(TalkerReplyDataLength(MakeTalkerFrame('C', 0, 32, 16), 12), 64u);
    EXPECT_EQ(TalkerReplyDataLength(MakeTalkerFrame('C', 0, 0, 16), 12), 512u);
    EXPECT_EQ(TalkerReplyDataLength(MakeTalkerFrame('I', 0, 0, 0), 12), 12u);
    EXPECT_EQ(TalkerReplyDataLength(MakeTalkerFrame('P', 0xB600, 0x12, 0), 12), 1u);
}

TEST(TalkerProtocol, CrcIsCcittFalse) {
    const std::string check = "123456789";
    EXPECT_EQ(Crc16Ccitt(std::span(reinterpret_cast<const std::uint8_t*>(check.data()),
                                   check.size())),
              0x29B1);
    EXPECT_EQ(Crc16Ccitt({}), 0xFFFF);
}

TEST(BootPart, RatesAndDelaysFollowTheCrystal) {
    struct Case {
        double xtal;
        int fast, slow;
        std::uint16_t delay;  // 7-cycle iterations: 10 ms (20 ms below E = 2 MHz) + 2 %
    };
    const Case cases[] = {
        {8.0, 7812, 1200, 2915},
        {4.9152, 4800, 738, 3582},    // E = 1.2288 MHz: 20 ms
        {9.8304, 9600, 1476, 3582},
        {16.0, 15625, 2400, 5829},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(BootBaudRate(c.xtal, BootRate::Fast), c.fast) << c.xtal;
        EXPECT_EQ(BootBaudRate(c.xtal, BootRate::Slow1200), c.slow) << c.xtal;
        EXPECT_EQ(TalkerDelayCount(c.xtal), c.delay) << c.xtal;
    }
}

TEST(BootPart, ConfigBitsNamed) {
    EXPECT_EQ(ConfigText(0x0F), "CONFIG 0x0F: NOSEC 1 (not secured), NOCOP 1, ROMON 1, EEON 1 (EEPROM on)");
    EXPECT_EQ(ConfigText(0x05), "CONFIG 0x05: NOSEC 0 (secured), NOCOP 1, ROMON 0, EEON 1 (EEPROM on)");
    EXPECT_EQ(ConfigText(0x0E), "CONFIG 0x0E: NOSEC 1 (not secured), NOCOP 1, ROMON 1, EEON 0 (EEPROM off)");
}

TEST(BootPart, TheCableServesTheAEEaAndLRows) {
    struct Case {
        const char* name;
        const char* family;  // null: not served
        int ram;
        bool fixedLength, secured, eprom;
    };
    const Case cases[] = {
        {"MC68HC11  A8 (AB95T)", "A8", 256, true, false, false},
        {"MC68HC11  E9 (D82R)", "E9", 512, false, false, false},
        {"MC68HC711 E9 (4K81H)", "E9", 512, false, false, true},
        {"MC68S711  E9 (5C47M)", "E9", 512, false, true, true},
        {"MC68HC11  EA9(2D47J)", "EA9", 512, false, false, false},
        {"MC68HC11  E20(3E22B)", "E20", 768, false, false, false},
        {"MC68HC11  L6 (0F11N)", "L6", 512, false, false, false},
        {"MC68HC711 K4 (K59D)", nullptr, 0, false, false, false},
        {"MC68HC711 PH8(0H30R)", nullptr, 0, false, false, false},
    };
    for (const auto& c : cases) {
        std::string why;
        const auto part = BootPartOfDevice(c.name, &why);
        if (!c.family) {
            EXPECT_FALSE(part) << c.name;
            EXPECT_NE(why.find("does not serve"), std::string::npos) << c.name;
            continue;
        }
        ASSERT_TRUE(part) << c.name;
        EXPECT_EQ(part->family, c.family);
        EXPECT_EQ(part->ramBytes, c.ram) << c.name;
        EXPECT_EQ(part->fixedLengthDownload, c.fixedLength) << c.name;
        EXPECT_EQ(part->secured, c.secured) << c.name;
        EXPECT_EQ(part->eprom, c.eprom) << c.name;
    }
}

TEST(TalkerImage, FitsTheA8WithItsWorkBytesAndStack) {
    const auto image = TalkerImage();
    EXPECT_LE(image.size(), 0xF4u);  // work bytes and stack from 0xF4
    const std::string ident(image.begin() + static_cast<std::ptrdiff_t>(kTalkerLayout.identOffset),
                            image.begin() + static_cast<std::ptrdiff_t>(kTalkerLayout.identOffset +
                                                                        kTalkerLayout.identLength));
    EXPECT_EQ(ident, talker::kIdentityText);
    BootPart a8 = *BootPartOfDevice("MC68HC11  A8 (AB95T)", nullptr);
    BootPart e9 = *BootPartOfDevice("MC68HC11  E9 (D82R)", nullptr);
    const auto forA8 = BootstrapLink::DownloadImage(a8, 8.0);
    const auto forE9 = BootstrapLink::DownloadImage(e9, 16.0);
    EXPECT_EQ(forA8.size(), 256u);
    EXPECT_EQ(forE9.size(), image.size());
    const auto at = kTalkerLayout.delayCountOffset;
    EXPECT_EQ(forA8[at] << 8 | forA8[at + 1], 2915);
    EXPECT_EQ(forE9[at] << 8 | forE9[at + 1], 5829);
}

}  // namespace
}  // namespace jqz
