#include "cli/cli_bootstrap.h"

#include <cstdio>
#include <string>

#include "core/link/bootstrap_link.h"

namespace jqz::cli {

namespace {

// With the reset by hand, the wait for the user's reset before the sync is sent anyway.
constexpr int kBreakWaitMs = 5000;

BootLinkOptions linkOptions(const Options& o) {
    BootLinkOptions b;
    b.xtalMHz = o.xtalMHz;
    b.reset = o.reset == "dtr" ? BootReset::Dtr : o.reset == "rts" ? BootReset::Rts : BootReset::None;
    b.rate = o.bootRate == "1200" ? BootRate::Slow1200 : BootRate::Fast;
    b.breakWaitMs = kBreakWaitMs;
    return b;
}

}  // namespace

int ListBootstrapDevices(const SupportedDeviceList& devices) {
    for (const auto& name : devices.deviceNames()) {
        std::string why;
        const auto part = BootPartOfDevice(name, &why);
        if (!part) {
            std::printf("%s\t%s\n", name.c_str(), why.c_str());
            continue;
        }
        std::printf("%s\t%s%s\n", name.c_str(), CableAbilitiesText(*part).c_str(),
                    part->secured ? " (--secured-ok)" : "");
    }
    return kSuccess;
}

std::unique_ptr<TargetLink> MakeCableLink(const Options& o, const SupportedDeviceList& devices,
                                          sim::VirtualHc11Ports& ports, CliOutput& out, int& rc) {
    std::string why;
    const auto part = BootPartOfDevice(devices.selectedName, &why);
    if (!part) {
        out.AddLogLine(devices.selectedName + ": " + why, LogError);
        rc = kUsage;
        return nullptr;
    }
    if (!o.port) {
        out.AddLogLine("--link bootstrap needs --port (a serial port, or \"" +
                           std::string(kVirtualHc11Port) + "\")",
                       LogError);
        rc = kUsage;
        return nullptr;
    }
    // Refused before the port is opened: entering bootstrap mode erases a secured part.
    if (part->secured && !o.securedOk) {
        out.AddLogLine(devices.selectedName + " is secured: entering bootstrap mode erases its "
                                              "EEPROM and CONFIG. Nothing was sent; give "
                                              "--secured-ok to go on.",
                       LogError);
        rc = kOperationFailed;
        return nullptr;
    }
    LinkChoice choice;
    choice.kind = LinkKind::BootstrapCable;
    choice.port = *o.port;
    choice.boot = linkOptions(o);
    if (choice.boot.reset == BootReset::None) {
        const std::string text = "Hold MODA and MODB low and reset the board now (" +
                                 part->family + ", " + XtalText(o.xtalMHz) +
                                 " MHz crystal); the program goes on as it starts, or " +
                                 std::to_string(kBreakWaitMs / 1000) + " s from now.";
        choice.resetPrompt = [&out, text](bool waiting) {
            if (waiting) out.prompt(text);
        };
    }
    auto link = MakeTargetLink(choice, {}, ports.opener(o.xtalMHz));
    link->SetConfirmed(o.securedOk);
    rc = kSuccess;
    return link;
}

}  // namespace jqz::cli
