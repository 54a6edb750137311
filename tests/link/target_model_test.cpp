// The simulated target behind the programmer: EEPROM that erase sets and writes only clear,
// CONFIG, ROM and BOOT ROM, linking, the secured part, pin-tester options.
#include "link_fixture.h"

namespace jqz::test {
namespace {

using Target = LinkTest;

TEST_F(Target, EepromIsErasedToFFAndWritesOnlyClearBits) {
    programmer();
    channel().SelectDeviceType(7);  // MC68HC11 E9: EEPROM 0xB600..0xB7FF, CONFIG 0x103F
    channel().LinkDevice();
    ASSERT_EQ(channel().TakeLastError(), "");
    std::uint8_t data[128];
    for (int i = 0; i < 128; ++i) data[i] = static_cast<std::uint8_t>(i);
    channel().WriteBlock(0xB680, data);
    EXPECT_EQ(channel().TakeLastError(), "");
    std::uint8_t block[129];
    channel().ReadBlock(0xB680, block);
    EXPECT_EQ(channel().TakeLastError(), "");
    EXPECT_TRUE(std::equal(data, data + 128, block));

    channel().WriteByte(0xB681, 0xF0);  // 01 cannot become F0 without an erase
    EXPECT_EQ(channel().TakeLastError(), "Error: Programming/Erasing Error");
    EXPECT_EQ(channel().ReadByte(0xB681), 0x00);
    channel().EraseEeprom();
    EXPECT_EQ(channel().TakeLastError(), "");
    EXPECT_EQ(channel().ReadByte(0xB681), 0xFF);
    channel().WriteByte(0xB681, 0xF0);
    EXPECT_EQ(channel().TakeLastError(), "");

    channel().WriteByte(0x103F, 0x05);  // CONFIG takes its value
    EXPECT_EQ(channel().TakeLastError(), "");
    EXPECT_EQ(channel().ReadByte(0x103F), 0x05);
    channel().WriteByte(0xE000, 0x00);  // ROM cannot be written
    EXPECT_EQ(channel().TakeLastError(), "Error: Programming/Erasing Error");
}

TEST_F(Target, RomAndBootRomHoldTheirContents) {
    programmer();
    channel().SelectDeviceType(6);  // A8: BOOT ROM 0xBF40..0xBFFF
    channel().LinkDevice();
    std::uint8_t block[129];
    channel().ReadBlock(0xBFC0, block);
    EXPECT_EQ(channel().TakeLastError(), "");
    EXPECT_EQ(block[0], sim::SimBootRomByte(0xBFC0));
    EXPECT_EQ(block[63], sim::SimBootRomByte(0xBFFF));
    const auto& e = programmer().with([](sim::ProgrammerModel& m) { return &m.target(6)->entry(); });
    ASSERT_NE(e->romArea1Start, 0);
    EXPECT_EQ(channel().ReadByte(e->romArea1Start), sim::SimRomByte(e->romArea1Start));
    EXPECT_EQ(channel().ReadByte(e->configAddress), sim::kSimConfigDefault);
}

TEST_F(Target, MemoryCommandsNeedALinkedDevice) {
    programmer();
    EXPECT_EQ(channel().ReadByte(0xB600), 0xFF);
    EXPECT_EQ(channel().TakeLastError(), "Error: Programmer to MCU Communication error");
    channel().LinkDevice();  // no device type selected
    EXPECT_EQ(channel().TakeLastError(), "Error: WRONG DEVICE TYPE");
    channel().SelectDeviceType(99);
    EXPECT_EQ(channel().TakeLastError(), "Error: WRONG DEVICE TYPE");
    channel().SelectDeviceType(7);
    channel().LinkDevice();
    channel().PowerOff();
    EXPECT_EQ(channel().TakeLastError(), "");
    channel().EraseEeprom();  // powered off: not linked any more
    EXPECT_EQ(channel().TakeLastError(), "Error: Programmer to MCU Communication error");
}

TEST_F(Target, PinTesterFaultsUnlessIgnoredForTheInterface) {
    sim::SimOptions o;
    o.interface = sim::Interface::OnBoard;
    o.faults.pinReportControl = 0x04;
    programmer(o);
    channel().SelectDeviceType(7);
    channel().SetPinTesterOptions(0x02);  // ignore in ICP mode only
    channel().LinkDevice();
    EXPECT_EQ(channel().TakeLastError(), "Pure contact on pin(s) or pin(s) damaged: RESET ");
    channel().SetPinTesterOptions(0x01);  // ignore in OBP mode
    channel().LinkDevice();
    EXPECT_EQ(channel().TakeLastError(), "");
}

TEST_F(Target, ASecuredPartIsErasedWhenLinkedOrStaysSecured) {
    sim::SimOptions o;
    o.interface = sim::Interface::OnBoard;
    o.secured = true;
    programmer(o);
    channel().SelectDeviceType(7);
    programmer().with([](sim::ProgrammerModel& m) { return m.target(7)->memory[0xB600] = 0x12; });
    EXPECT_EQ(channel().ReadInterface(), "On-Board Programming Interface. Device Secured.");
    channel().LinkDevice();
    EXPECT_EQ(channel().TakeLastError(), "");
    EXPECT_EQ(channel().ReadByte(0xB600), 0xFF);
    EXPECT_EQ(channel().ReadInterface(), "On-Board Programming Interface. Device not Secured.");

    sim::SimOptions stuck = o;
    stuck.faults.stillSecured = true;
    sim::VirtualProgrammer vp(stuck);
    vp.setTimeoutDivisor(kTimeoutDivisor);
    IO_DLL_R_W ch("Virtual Programmer", vp.opener());
    ch.SelectDeviceType(7);
    ch.LinkDevice();
    EXPECT_EQ(ch.TakeLastError(), "Error: Device Still Secured");
}

TEST_F(Target, APartOfAnotherTypeInTheSocketDoesNotAnswer) {
    sim::SimOptions o;
    o.targetType = 6;
    programmer(o);
    channel().SelectDeviceType(7);
    channel().LinkDevice();
    EXPECT_EQ(channel().TakeLastError(), "Error: No Echo from MCU");
}

}  // namespace
}  // namespace jqz::test
