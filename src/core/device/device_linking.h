#pragma once
// The rules of the Device ID row and the sequence pages: choosing a device, what a change of
// device does and in which order, the start buttons and the option check boxes. The main
// window shows their effects through DevicePanel; tests record them.
#include <functional>
#include <string>
#include <vector>

#include "core/messages/log_model.h"
#include "core/messages/message_sink.h"
#include "core/device/sequence_host.h"
#include "core/image/hex_edit_model.h"

namespace jqz {

class SupportedDeviceList;

// The nine option buttons, in page order; their names are the controls' object names.
enum class OptionButton {
    EraseEepromOn, EraseFlashOn, ProgramEepromOn, ProgramFlashOn, VerifyEepromOn, VerifyFlashOn,
    ReadEepromOn, ReadFlashOn, ReadRomOn
};
inline constexpr OptionButton kOptionButtons[] = {
    OptionButton::EraseEepromOn,  OptionButton::EraseFlashOn,   OptionButton::ProgramEepromOn,
    OptionButton::ProgramFlashOn, OptionButton::VerifyEepromOn, OptionButton::VerifyFlashOn,
    OptionButton::ReadEepromOn,   OptionButton::ReadFlashOn,    OptionButton::ReadRomOn};
const char* OptionButtonName(OptionButton button);

enum class OptionBox { PTErrorsOBP, PTErrorsICP, ConfProgEnable };

// What the rules change on the screen. Every call comes on the window's thread.
class DevicePanel {
public:
    virtual ~DevicePanel() = default;
    // Releases all nine option buttons, then disables them.
    virtual void releaseOptionButtons() = 0;
    virtual void enableOptionButton(OptionButton button) = 0;
    virtual void releaseDeviceButton() = 0;
    // The Device ID field's new text.
    virtual void showDeviceName(const std::string& name) = 0;
    virtual void showPackageDrawings(const std::vector<std::string>& drawings) = 0;
    virtual void showAddressAtTop(int address) = 0;
    virtual void releaseStartButton(SequenceKind kind) = 0;
    // Starts or stops a sequence, as its start button now says.
    virtual void runSequence(SequenceKind kind, bool start) = 0;
    // The buffer saved flag goes false: closing will ask whether to save.
    virtual void bufferUnsaved() = 0;
    virtual bool bufferSaved() const = 0;
    // Saves the buffer as File > Save does; false when the save was cancelled or failed.
    virtual bool saveBuffer() = 0;
};

// Runs a device change on the image and the panel, in this order: the description cleared,
// bulk mode, every byte 0xFF and every cell implemented (no device) or unimplemented; with a
// device then the package drawings, the EEPROM buttons, the CONFIG cell and the EEPROM, each
// ROM area after its read button, the BOOT ROM after its button, the EEPROM start at the top,
// and the end of bulk mode. The option buttons are released and disabled first.
void ApplyDeviceChange(HexEditModel& model, const SupportedDeviceList& devices,
                       DevicePanel& panel);

class DeviceLinking {
public:
    DeviceLinking(SupportedDeviceList& devices, HexEditModel& model, LogSink& log,
                  MessageSink& messages, DevicePanel& panel);

    // The field's first text, the selected device's name ("Demo Mode" at start): the change
    // runs once.
    void showSelection();
    // The Device ID button after its click; `down` is its new state, `idle` whether the link
    // is free. The dialog lets the user choose; its result is not consulted. Another device
    // resets the image, so unsaved work is first offered for saving as on closing: Cancel, or
    // a save that does not happen, keeps the old device and the image.
    void deviceButtonClicked(bool down, bool idle, const std::function<void()>& dialog);
    // A start button after its click.
    void startButtonClicked(SequenceKind kind, bool down, bool idle);
    // An option check box after its click; returns whether it stays checked.
    bool optionBoxClicked(OptionBox box, bool checked);

    const std::string& deviceField() const { return field_; }

private:
    void setField(const std::string& name);

    SupportedDeviceList& devices_;
    HexEditModel& model_;
    LogSink& log_;
    MessageSink& messages_;
    DevicePanel& panel_;
    std::string field_;
    bool shown_ = false;
};

}  // namespace jqz
