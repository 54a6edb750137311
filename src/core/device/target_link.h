#pragma once
// The link the program and read sequences speak to a target through. Two kinds stand behind
// it: the programmer on its serial port (its command set, the connection COM), and the HC11's
// own bootstrap ROM over a plain serial cable (the talker, BootstrapLink). The sequences
// (DeviceWrite, DeviceRead) are written once against it; each kind logs its own linking and
// identity lines, and the sequences' lines stay the same for both.
//
// A TargetLink lives as long as the user's choice of link; each run gets a TargetSession of
// its own from it, used on the run's worker thread only. The controlling thread asks the
// link's questions (what it can do for a device, what to confirm before a run) and sets its
// busy and stop flags.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "core/device/device_options.h"
#include "core/device/progress_gauge.h"
#include "core/device/sequence_host.h"
#include "core/link/boot_part.h"
#include "core/link/bootstrap_link.h"
#include "core/link/serial_port.h"
#include "core/messages/log_model.h"

namespace jqz {

class COM;

enum class LinkKind { Programmer, BootstrapCable };

// What may be asked of a link for a device: the nine option buttons in page order, then the
// CONFIG write, the firmware update and the identity of the part.
enum class TargetAction {
    EraseEeprom, EraseEprom, ProgramEeprom, ProgramEprom, VerifyEeprom, VerifyEprom,
    ReadEeprom, ReadEprom, ReadBootRom,
    ProgramConfig, FirmwareUpdate, IdentifyPart,
    PinTester, SkipBlankBlocks  // the programmer's own options
};

// Whether a link can do an action for a device, and when not, why (a tool tip's text, such as
// "EPROM programming needs the programmer's 12 V supply").
struct LinkAbility {
    bool can = true;
    std::string why;
    explicit operator bool() const { return can; }
};

// How a step of a run ended. Its errors are in the log already.
enum class StepResult {
    Done,    // no error
    Failed,  // an error the run goes on after; the run ends failed
    Ended,   // an error that ends the run, or a stop
};

// What a run gives a step that takes a while: the gauge it moves and its stop request,
// honoured between the step's commands.
struct RunControl {
    ProgressGauge& gauge;
    std::function<bool()> stopped;
};

// One run's use of the link, on the run's worker thread. Every call logs its own errors (none
// once a stop was requested: the run then ends with its interrupted line alone).
class TargetSession {
public:
    virtual ~TargetSession() = default;

    // Reaches the part and makes it ready: the programmer is detected where needed and
    // checked (identification, firmware, WORK mode), gets the pin tester's options, the device
    // type, and links the device ("Linking Device ..."); the cable refuses a device it does not
    // serve and a secured part not confirmed before anything is sent, then opens its port,
    // resets the part as wired (or asks the user to), downloads the talker and checks that it
    // runs. False when the run is to end; the reason is in the log.
    virtual bool Link(const SequenceOptions& options) = 0;
    // Logs what was reached: the programmer's interface and device ID; the cable's port,
    // rate, crystal, talker and part, and the part's CONFIG with its bits named. False on an
    // error (logged).
    virtual bool ReportIdentity() = 0;

    // Erases the whole EEPROM.
    virtual StepResult EraseEeprom() = 0;
    // Writes the CONFIG register (the caller has the user's confirmation).
    virtual StepResult WriteConfig(std::uint8_t value) = 0;
    // Programs the EEPROM with `cells` (the device's whole EEPROM, from its start). erased: an
    // erase of this run reported no error; skipBlank: the user's choice to leave out what an
    // erase already made right. Moves control.gauge and honours control.stopped between
    // commands. The cable's smart write logs its account, and reports cells written only as
    // verified.
    virtual StepResult ProgramEeprom(std::span<const std::uint8_t> cells, bool erased,
                                     bool skipBlank, RunControl& control) = 0;

    // Whether ProgramEeprom verifies what it writes (the cable's smart write does), so that
    // its cells count as read back even without the verify step.
    virtual bool ProgramVerifies() const { return false; }

    // The verify's step: how many cells one ReadBack covers (the last may be shorter).
    virtual int VerifyBlockSize() const = 0;
    // The cells from address as the part holds them, for a compare with `expected` (as long
    // as `actual`); the cable compares a CRC first and reads only a block that differs.
    // False on an error (logged).
    virtual bool ReadBack(int address, std::span<const std::uint8_t> expected,
                          std::span<std::uint8_t> actual) = 0;

    // The read's step: how many cells one Read covers at most.
    virtual int ReadBlockSize() const = 0;
    // Reads the cells from address into out (at most ReadBlockSize()). False on an error
    // (logged).
    virtual bool Read(int address, std::span<std::uint8_t> out) = 0;
    // Reads the CONFIG register. False on an error (logged).
    virtual bool ReadConfig(std::uint8_t& value) = 0;

    // A run that reached its end: the programmer powers an in-circuit target off.
    virtual void Finish() = 0;
};

class TargetLink {
public:
    virtual ~TargetLink() = default;

    virtual LinkKind kind() const = 0;
    // The port's name as the user chose it.
    virtual std::string portName() const = 0;
    // The line the log gives the link once chosen; the status bar's text.
    // Programmer: "Port: COM3   9600 baud" (both). Cable: "Bootstrap cable on /dev/ttyUSB0,
    // 7812 baud (8 MHz crystal)" and "Bootstrap cable: /dev/ttyUSB0, 7812 baud, 8 MHz".
    virtual std::string logLine() const = 0;
    virtual std::string statusLine() const = 0;

    // Whether the link can do an action for a device (a catalogue name), and why not.
    virtual LinkAbility Can(TargetAction action, const std::string& deviceName) const = 0;
    // The question to ask before a run on the device, or empty: the cable asks before
    // entering bootstrap mode on a part that may be secured ("Entering bootstrap mode erases
    // this part's EEPROM and CONFIG. Continue?"). On the controlling thread.
    virtual std::string QuestionBeforeRun(const std::string& deviceName) const = 0;
    // The user's answer to that question, for the runs that follow until changed.
    virtual void SetConfirmed(bool yes) = 0;
    // The CONFIG last read from or written to the part by this link's runs, or none (the
    // programmer keeps none). With NOSEC programmed in it, the next entry into bootstrap mode
    // erases the part's EEPROM and CONFIG. ForgetConfigSeen: the part may be another one.
    virtual std::optional<std::uint8_t> ConfigSeen() const { return std::nullopt; }
    virtual void ForgetConfigSeen() {}

    // A run's session for the device chosen when it starts. Nothing goes over the line
    // before the session's Link.
    virtual std::unique_ptr<TargetSession> OpenSession(const DeviceMap& device,
                                                       LogSink& log) = 0;

    // The programmer's connection, for what only the programmer does (the firmware update,
    // its detection); null for the cable.
    virtual COM* programmer() { return nullptr; }

    // Busy and stop flags, as the controlling thread and the run's worker share them.
    // Busy from the press of a start button on; a stop request ends the link's waits once
    // the line stays silent.
    virtual bool Idle() const = 0;
    virtual void MarkBusy() = 0;  // also clears a stop request
    virtual void MarkIdle() = 0;
    virtual void RequestStop() = 0;
    virtual void ClearStop() = 0;
    virtual bool StopRequested() const = 0;
    // After a run that a stop cut short: the programmer is reset, a late reply drained, and
    // the connection marked lost; the cable's port is closed by then.
    virtual void AfterInterruption() = 0;
};

// The action of an option button of the sequence pages (kOptionButtons' order).
TargetAction ActionOfOptionButton(int buttonIndex);

// The link's choice, as the port dialog and the settings give it.
struct LinkChoice {
    LinkKind kind = LinkKind::Programmer;
    std::string port;
    int baudRate = 9600;      // the programmer's rate
    BootLinkOptions boot;     // the cable's crystal, reset line and rate
    // The cable with the reset by hand: called on the run's worker with true as the program
    // starts waiting for the user's reset ("Hold MODA and MODB low and press the board's reset
    // button."), with false once the wait is over (the part answered, or a stop ended it).
    std::function<void(bool waiting)> resetPrompt;
};

// The text of the reset prompt by hand.
inline constexpr const char* kResetPrompt =
    "Hold MODA and MODB low and press the board's reset button.";
// The question before entering bootstrap mode on a part that may be secured.
inline constexpr const char* kSecuredQuestion =
    "Entering bootstrap mode erases this part's EEPROM and CONFIG. Continue?";
// Why the cable does not program an EPROM.
inline constexpr const char* kEpromNeeds12V = "EPROM programming needs the programmer's 12 V supply";

// Tools > Identify Part: reaches the part and logs what the sequences log when they start
// (the programmer: its checks, linking, interface and device ID; the cable: the talker, the
// part, its CONFIG with its bits named, and what the cable does with it). Blocking: run it
// on a worker; the link is busy meanwhile, and RequestStop ends its waits. False when the
// part was not reached (the reason is in the log).
bool IdentifyPart(TargetLink& link, const DeviceMap& device, const SequenceOptions& options,
                  LogSink& log);

// The programmer over a connection that someone else owns (the window's, the command line's);
// a null connection makes every run end with "MC68HC(7)11 Programmer not found.".
std::unique_ptr<TargetLink> MakeProgrammerLink(COM* connection);

// The link of a choice. The programmer: a new connection on the port, which detects at once
// (read programmer()->ResultText); programmerOpener opens its port. The cable: nothing is
// opened until a run needs the part; cableOpener opens the port for each run (the in-process
// model for kVirtualHc11Port: see sim/hc11/virtual_hc11_ports.h).
std::unique_ptr<TargetLink> MakeTargetLink(const LinkChoice& choice,
                                           const PortOpener& programmerOpener,
                                           const CablePortOpener& cableOpener);

}  // namespace jqz
