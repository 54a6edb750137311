// The firmware image format and the virtual programmer's loader in Service mode.
#include "core/link/firmware_image.h"
#include "link_fixture.h"

namespace jqz::test {
namespace {

TEST(FirmwareImage, BlocksCarryIndexPayloadAndCheck) {
    const auto& image = CurrentFirmwareImage();
    ASSERT_EQ(image.size(), 11570u);
    EXPECT_EQ(FirmwareImageVersion(image), std::optional<std::string>("VER-1.1"));
    for (int n = 0; n < kFirmwareBlockCount; ++n)
        EXPECT_TRUE(FirmwareBlockValid(image.data() + n * kFirmwareBlockSize, n)) << n;
    EXPECT_FALSE(FirmwareBlockValid(image.data(), 1));
}

TEST(FirmwareImage, DamageAnywhereIsFound) {
    auto image = BuildFirmwareImage("VER-2.0", {1, 2, 3});
    EXPECT_EQ(FirmwareImageVersion(image), std::optional<std::string>("VER-2.0"));
    auto bad = image;
    bad[5 * kFirmwareBlockSize + 7] ^= 1;  // a block check fails
    EXPECT_FALSE(FirmwareImageVersion(bad));
    // A body byte changed with the block check mended: the CRC still catches it.
    bad = image;
    bad[20] ^= 1;
    bad[kFirmwareBlockSize - 1] ^= 0;
    unsigned sum = 0;
    for (int i = 0; i < kFirmwareBlockSize - 1; ++i) sum += bad[i];
    bad[kFirmwareBlockSize - 1] = static_cast<std::uint8_t>(~sum);
    EXPECT_FALSE(FirmwareImageVersion(bad));
    EXPECT_TRUE(BuildFirmwareImage("VERSION-10", {}).empty());
    EXPECT_TRUE(BuildFirmwareImage("V", std::vector<std::uint8_t>(kFirmwareMaxBody + 1)).empty());
}

class Loader : public LinkTest {
protected:
    // Sends the image frame by frame as the update does: D5 and the block, one-byte answer,
    // the block again when the answer is not its last byte. Returns the frames sent.
    int load(const std::vector<std::uint8_t>& image) {
        int frames = 0;
        for (int n = 0; n < kFirmwareBlockCount && frames < 200; ++n) {
            std::uint8_t frame[kFirmwareFrameSize];
            frame[0] = kFirmwareFrameByte;
            std::copy_n(image.begin() + n * kFirmwareBlockSize, kFirmwareBlockSize, frame + 1);
            channel().WriteBytes(frame, sizeof frame);
            std::uint8_t ack = 0;
            channel().ReadBytes(&ack, 1);
            EXPECT_EQ(channel().TakeLastError(), "");
            ++frames;
            if (ack != frame[kFirmwareBlockSize]) --n;
        }
        return frames;
    }
    sim::SimOptions service(const std::string& version) {
        sim::SimOptions o;
        o.serviceMode = true;
        o.version = version;
        return o;
    }
};

TEST_F(Loader, AGoodLoadBringsTheNewVersion) {
    programmer(service("VER-1.0"));
    EXPECT_EQ(channel().ReadIdentification(), "MC68HC(7)11 Programmer VER-1.0");
    EXPECT_EQ(load(CurrentFirmwareImage()), 89);
    EXPECT_EQ(channel().ReadIdentification(), "MC68HC(7)11 Programmer VER-1.1");
    EXPECT_EQ(programmer().with([](sim::ProgrammerModel& m) { return m.firmwareLoads(); }), 1);
    // 89 frames of 131 bytes went out, each answered by one byte.
    int frames = 0, acks = 0;
    for (const auto& w : programmer().wire()) {
        if (w.fromPc && w.value == 0xD5) ++frames;
        if (!w.fromPc) ++acks;
    }
    EXPECT_GE(frames, 89);
    EXPECT_EQ(programmer().bytesFromPc().size(), 1u + 89u * 131u + 1u);
    EXPECT_EQ(acks, 31 + 89 + 31);
}

TEST_F(Loader, AWrongAcknowledgementMakesTheBlockGoAgain) {
    auto o = service("VER-1.0");
    o.faults.wrongAcks[17] = 1;
    programmer(o);
    EXPECT_EQ(load(CurrentFirmwareImage()), 90);
    EXPECT_EQ(channel().ReadIdentification(), "MC68HC(7)11 Programmer VER-1.1");
}

TEST_F(Loader, ABadImageIsNotTaken) {
    programmer(service("VER-1.0"));
    auto image = CurrentFirmwareImage();
    image[200] ^= 0x40;  // body damaged, block checks mended by the loader's answer below
    unsigned sum = 0;
    for (int i = kFirmwareBlockSize; i < 2 * kFirmwareBlockSize - 1; ++i) sum += image[i];
    image[2 * kFirmwareBlockSize - 1] = static_cast<std::uint8_t>(~sum);
    EXPECT_EQ(load(image), 89);
    EXPECT_EQ(channel().ReadIdentification(), "MC68HC(7)11 Programmer VER-1.0");
}

TEST_F(Loader, WorkModeDoesNotLoad) {
    programmer();
    channel().ReadMode();
    // In WORK mode D5 is no command: it is answered with status 4.
    const std::uint8_t d5 = 0xD5;
    channel().WriteBytes(&d5, 1);
    channel().ReadStatus();
    EXPECT_EQ(channel().TakeLastError(), "Error: WRONG SUBROUTINE CALL");
}

TEST_F(Loader, ServiceModeRefusesWorkCommands) {
    programmer(service("VER-1.0"));
    channel().SelectDeviceType(7);
    EXPECT_EQ(channel().TakeLastError(), "Error: WRONG SUBROUTINE CALL");
    EXPECT_EQ(channel().ReadMode(), "BOOT11N");
}

}  // namespace
}  // namespace jqz::test
