// The bootstrap cable against the HC11 model in-process, in virtual time: the talker loaded
// through the boot ROM on each part at each rate, the smart write and its verify, and every
// scripted fault ending in its message, with the model's record showing that the EEPROM was
// only ever driven as the documents ask.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/device/cable_operations.h"
#include "core/link/bootstrap_link.h"
#include "core/link/talker_image.h"
#include "sim/hc11/machine.h"
#include "sim/hc11/virtual_hc11.h"
#include "bootstrap_cases.h"

namespace jqz {
namespace {

using Bytes = std::vector<std::uint8_t>;
using sim::Hc11Options;
using sim::VirtualHc11;

constexpr const char* kE9 = "MC68HC11  E9 (E28B)";
constexpr const char* kSecuredE9 = "MC68S711  E9 (5C47M)";

Bytes pattern(int seed) {
    Bytes b(512);
    for (std::size_t i = 0; i < b.size(); ++i) b[i] = static_cast<std::uint8_t>(i * 7 + seed);
    return b;
}

// The model's part and a link to it as the command line makes one.
struct Bench {
    Bench(const char* device, Hc11Options model, BootLinkOptions link = {})
        : part(*BootPartOfDevice(device, nullptr)),
          hc11(std::move(model)),
          opened(hc11.open()),
          cable(*opened.port, part, link) {}

    // No overrun, no pulse that was too short or set EEPGM with EELAT, nothing illegal run.
    void expectCleanRecord() {
        const auto r = hc11.record();
        EXPECT_EQ(r.overruns, 0);
        EXPECT_EQ(r.faultPulses(), 0);
        for (const auto& p : r.pulses) {
            EXPECT_FALSE(p.sameWrite);
            EXPECT_FALSE(p.tooShort);
        }
        EXPECT_TRUE(r.illegalOpcodes.empty());
    }

    BootPart part;
    VirtualHc11 hc11;
    OpenedPort opened;
    BootstrapLink cable;
};

Hc11Options modelOf(const char* name) {
    Hc11Options o;
    o.part = name;
    return o;
}

TEST(BootstrapLink, ProgramsAndVerifiesEachPartAtEachRate) {
    for (const auto& c : kPartsAndRates) {
        SCOPED_TRACE(std::string(c.model) + (c.rate == BootRate::Fast ? " fast" : " 1200"));
        BootLinkOptions options;
        options.rate = c.rate;
        Bench bench(c.device, modelOf(c.model), options);
        ASSERT_TRUE(bench.cable.Start(false)) << bench.cable.error();
        EXPECT_EQ(bench.cable.baudRate(), c.rate == BootRate::Fast ? 7812 : 1200);
        std::string identity;
        ASSERT_TRUE(bench.cable.Identity(identity));
        EXPECT_EQ(identity, "JQZ TALK 1.2");
        const Bytes wanted = pattern(3);
        CableWriteReport report;
        std::string error;
        ASSERT_TRUE(CableProgram(bench.cable, 0xB600, wanted, true, report, error)) << error;
        EXPECT_TRUE(report.verified);
        EXPECT_EQ(bench.hc11.eeprom(), wanted);
        const auto boots = bench.hc11.record().boots;
        ASSERT_FALSE(boots.empty());
        EXPECT_TRUE(boots.back().jumped);
        EXPECT_EQ(boots.back().bytesLoaded,
                  std::string(c.model) == "A8" ? 256 : static_cast<int>(TalkerImage().size()));
        EXPECT_EQ(boots.back().endedByIdle, std::string(c.model) != "A8");
        bench.expectCleanRecord();
        // Every pulse lasted at least 10 ms of E cycles (2 MHz).
        for (const auto& p : bench.hc11.record().pulses) EXPECT_GE(p.lengthCycles, 20'000);
    }
}

TEST(BootstrapLink, SmartWriteTouchesOnlyWhatDiffers) {
    Hc11Options model = modelOf("E9");
    model.eeprom = pattern(3);
    Bench bench(kE9, model);
    ASSERT_TRUE(bench.cable.Start(false)) << bench.cable.error();
    Bytes wanted = pattern(3);
    wanted[0x010] = wanted[0x010] & 0x0F;  // bits cleared: programmed
    wanted[0x020] = 0xFF;                  // erased only
    wanted[0x1F0] = static_cast<std::uint8_t>(~wanted[0x1F0]);  // erased, then programmed
    if (wanted[0x010] == pattern(3)[0x010]) wanted[0x010] = 0x00;
    CableWriteReport report;
    std::string error;
    ASSERT_TRUE(CableProgram(bench.cable, 0xB600, wanted, true, report, error)) << error;
    EXPECT_EQ(report.text(),
              "512 bytes: 509 already right, 1 programmed, 1 erased, 1 erased and programmed; "
              "verified");
    EXPECT_EQ(bench.hc11.record().pulses.size(), 4u);
    EXPECT_EQ(bench.hc11.eeprom(), wanted);
    bench.expectCleanRecord();
}

TEST(BootstrapLink, BulkEraseWhenEveryByteNeedsAnErase) {
    Hc11Options model = modelOf("E9");
    model.eeprom = Bytes(512, 0x00);
    Bench bench(kE9, model);
    ASSERT_TRUE(bench.cable.Start(false)) << bench.cable.error();
    const Bytes wanted = pattern(1);
    CableWriteReport report;
    std::string error;
    ASSERT_TRUE(CableProgram(bench.cable, 0xB600, wanted, true, report, error)) << error;
    EXPECT_TRUE(report.bulkErase);
    EXPECT_EQ(bench.hc11.eeprom(), wanted);
    const auto pulses = bench.hc11.record().pulses;
    ASSERT_FALSE(pulses.empty());
    EXPECT_TRUE(pulses[0].erase);
    bench.expectCleanRecord();
}

TEST(BootstrapLink, ReadsTheEepromAndTheConfig) {
    Hc11Options model = modelOf("E9");
    model.eeprom = pattern(9);
    model.config = 0x0D;
    Bench bench(kE9, model);
    ASSERT_TRUE(bench.cable.Start(false)) << bench.cable.error();
    Bytes cells(512);
    ASSERT_TRUE(bench.cable.Read(0xB600, cells));
    EXPECT_EQ(cells, pattern(9));
    Bytes config(1);
    ASSERT_TRUE(bench.cable.Read(kConfigAddress, config));
    EXPECT_EQ(config[0], 0x0D);
}

// CONFIG reads as it was latched at reset: the cell is checked in the model.
TEST(BootstrapLink, ConfigErasedAndWrittenByItsOwnCycles) {
    Hc11Options model = modelOf("E9");
    model.config = 0x0D;
    Bench bench(kE9, model);
    ASSERT_TRUE(bench.cable.Start(false)) << bench.cable.error();
    ASSERT_TRUE(bench.cable.ClearBprot()) << bench.cable.error();
    std::uint8_t back = 0;
    ASSERT_TRUE(bench.cable.EepromCycle(kConfigAddress, 0xFF, talker::kErase, back));
    EXPECT_EQ(bench.hc11.config(), 0xFF);
    ASSERT_TRUE(bench.cable.EepromCycle(kConfigAddress, 0x0C, 0, back));
    EXPECT_EQ(bench.hc11.config(), 0x0C);
    EXPECT_EQ(back, 0x0D);
    bench.expectCleanRecord();
}

// A part whose CONFIG has NOSEC programmed (the catalogue's secured part, confirmed) is reset
// as wired too: its boot ROM sends $FF, erases the EEPROM, writes over the RAM and erases
// CONFIG before its break, and the host waits that out before it sends the sync, so that
// nothing arrives while the part erases.
TEST(BootstrapLink, ResetThroughDtrOrRts) {
    for (const bool secured : {false, true}) {
        for (auto wiring : {sim::ResetWiring::Dtr, sim::ResetWiring::Rts}) {
            SCOPED_TRACE(secured ? "secured" : "not secured");
            Hc11Options model = modelOf("E9");
            model.reset = wiring;
            model.eeprom = pattern(3);
            BootLinkOptions options;
            options.reset = wiring == sim::ResetWiring::Dtr ? BootReset::Dtr : BootReset::Rts;
            Bench bench(secured ? kSecuredE9 : kE9, model, options);
            // NOSEC programmed in the cell: in effect from the reset the link makes.
            if (secured) bench.hc11.with([](sim::hc11::Machine& m) {
                m.poke(kConfigAddress, 0x07);
                return 0;
            });
            ASSERT_TRUE(bench.cable.Start(secured)) << bench.cable.error();
            const auto r = bench.hc11.record();
            ASSERT_FALSE(r.boots.empty());
            EXPECT_EQ(r.securityErases, secured ? 1 : 0);
            Bytes cells(512);
            ASSERT_TRUE(bench.cable.Read(0xB600, cells)) << bench.cable.error();
            EXPECT_EQ(cells, secured ? Bytes(512, 0xFF) : pattern(3));
            bench.expectCleanRecord();
        }
    }
}

// By hand: the boot ROM's break at reset ends the wait for the user at once.
TEST(BootstrapLink, ResetByHandGoesOnWithTheBreak) {
    BootLinkOptions options;
    options.breakWaitMs = 3000;
    Bench bench(kE9, modelOf("E9"), options);
    ASSERT_TRUE(bench.cable.Start(false)) << bench.cable.error();
    EXPECT_LT(bench.hc11.modelMicroseconds(), 1'000'000);
}

TEST(BootstrapLink, SecuredPartRefusedWithoutConfirmationAndErasedWithIt) {
    {
        Hc11Options model = modelOf("E9");
        model.secured = true;
        model.eeprom = pattern(5);
        Bench bench(kSecuredE9, model);
        EXPECT_FALSE(bench.cable.Start(false));
        EXPECT_NE(bench.cable.error().find("erases this part's EEPROM and CONFIG: nothing was sent"),
                  std::string::npos);
        EXPECT_EQ(bench.hc11.record().bytesFromHost, 0);
    }
    Hc11Options model = modelOf("E9");
    model.secured = true;
    model.eeprom = pattern(5);
    Bench bench(kSecuredE9, model);
    ASSERT_TRUE(bench.cable.Start(true)) << bench.cable.error();
    EXPECT_EQ(bench.hc11.record().securityErases, 1);
    Bytes cells(512);
    ASSERT_TRUE(bench.cable.Read(0xB600, cells));
    EXPECT_EQ(cells, Bytes(512, 0xFF));
}

struct FaultCase {
    const char* what;
    sim::Hc11Faults faults;
    double hostXtal;  // the crystal the user gave
    BootRate rate;
    const char* message;  // a part of the error
    // Whether the model saw EEPROM pulses: none where the download failed cleanly, some where
    // the fault struck while writing. Where the part took a garbled download (a wrong rate,
    // a byte lost in it), its boot ROM still starts what it loaded, as a real one would: the
    // host stops sending, but what that program does is left unsaid.
    enum { NoPulse, Pulses, Unknown } pulses;
};

TEST(BootstrapLink, EveryFaultEndsInItsMessageWithinSeconds) {
    sim::Hc11Faults lostEcho;
    lostEcho.lostEcho = 5;
    sim::Hc11Faults droppedInDownload;
    droppedInDownload.droppedByte = 20;
    sim::Hc11Faults droppedInCommand;
    droppedInCommand.droppedByte = 300;  // after the download and the first commands
    sim::Hc11Faults stuck;
    stuck.stuckEepromCell = sim::StuckCell{0xB640, 0x00};
    sim::Hc11Faults wrongXtal;
    wrongXtal.wrongXtalMHz = 4.0;
    const FaultCase cases[] = {
        {"a lost echo", lostEcho, 8.0, BootRate::Fast, "MODA and MODB", FaultCase::NoPulse},
        {"a byte dropped in the download", droppedInDownload, 8.0, BootRate::Fast,
         "MODA and MODB", FaultCase::Unknown},
        {"a byte dropped in a command", droppedInCommand, 8.0, BootRate::Fast,
         "Check the cable, then reset the board", FaultCase::Pulses},
        {"a stuck cell", stuck, 8.0, BootRate::Fast,
         "The EEPROM cell at 0xB640 reads 0x00 after", FaultCase::Pulses},
        {"a wrong crystal", wrongXtal, 8.0, BootRate::Fast, "the crystal (8 MHz given)",
         FaultCase::Unknown},
        {"a wrong rate", {}, 12.0, BootRate::Fast, "the rate (11718 baud)", FaultCase::Unknown},
        {"a wrong rate at 1200", {}, 12.0, BootRate::Slow1200, "the rate (1802 baud)",
         FaultCase::Unknown},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Hc11Options model = modelOf("E9");
        model.faults = c.faults;
        BootLinkOptions options;
        options.xtalMHz = c.hostXtal;
        options.rate = c.rate;
        Bench bench(kE9, model, options);
        std::string error;
        bool ok = bench.cable.Start(false);
        if (!ok) error = bench.cable.error();
        if (ok) {
            CableWriteReport report;
            ok = CableProgram(bench.cable, 0xB600, pattern(2), true, report, error);
            EXPECT_FALSE(report.verified);
        }
        EXPECT_FALSE(ok);
        EXPECT_NE(error.find(c.message), std::string::npos) << error;
        EXPECT_LT(bench.hc11.modelMicroseconds(), 5'000'000);
        const auto r = bench.hc11.record();
        if (c.pulses != FaultCase::Unknown) {
            EXPECT_EQ(c.pulses == FaultCase::Pulses, !r.pulses.empty());
            EXPECT_EQ(r.faultPulses(), 0);
            EXPECT_EQ(r.overruns, 0);
        }
    }
}

TEST(BootstrapLink, ALostLastEchoDoesNotMatterSinceTheRateNeverChanges) {
    Hc11Options model = modelOf("E9");
    model.faults.lostLastEcho = true;
    Bench bench(kE9, model);
    ASSERT_TRUE(bench.cable.Start(false)) << bench.cable.error();
}

}  // namespace
}  // namespace jqz
