#include "core/device/device_linking.h"

#include "core/messages/close_question.h"
#include "core/device/supported_device_list.h"

namespace jqz {

namespace {

constexpr const char* kObpWarning =
    "Ignoring of Pin Tester Errors can lead to ALL EEPROM CONTENTS\nWILL BE ERASED if device "
    "secured!\n\nIgnore Pin Tester Errors in OBP Mode?";
constexpr const char* kConfigWarning =
    "This setting enable programming of CONFIG register\n(System configuration register) during "
    "Program Sequence.\nChanging of this register will change device configuration!\n\nEnable "
    "Program of CONFIG register ?";

}  // namespace

const char* OptionButtonName(OptionButton button) {
    switch (button) {
        case OptionButton::EraseEepromOn: return "EraseEepromOn";
        case OptionButton::EraseFlashOn: return "EraseFlashOn";
        case OptionButton::ProgramEepromOn: return "ProgramEepromOn";
        case OptionButton::ProgramFlashOn: return "ProgramFlashOn";
        case OptionButton::VerifyEepromOn: return "VerifyEepromOn";
        case OptionButton::VerifyFlashOn: return "VerifyFlashOn";
        case OptionButton::ReadEepromOn: return "ReadEepromOn";
        case OptionButton::ReadFlashOn: return "ReadFlashOn";
        case OptionButton::ReadRomOn: return "ReadRomOn";
    }
    return "";
}

void ApplyDeviceChange(HexEditModel& model, const SupportedDeviceList& devices,
                       DevicePanel& panel) {
    panel.releaseOptionButtons();
    MemoryImage& image = model.image;
    model.description.clear();
    image.BeginBulk();
    const bool device = devices.deviceType != 0;
    model.mapDevice = device ? devices.selectedDevice() : std::string();
    model.eepromStart = device ? devices.eepromStart : 0;
    model.eepromEnd = device ? devices.eepromEnd : 0;
    for (int a = 0; a <= MemoryImage::LastAddress(); ++a) {
        image.SetUnimplemented(a, false);
        image.WriteData(a, 0xFF);
        if (device) image.SetUnimplemented(a, true);
    }
    if (!device) {
        image.EndBulk();
        return;
    }
    auto implement = [&image](int from, int to) {
        for (int a = from; a <= to; ++a) image.SetUnimplemented(a, false);
    };
    panel.showPackageDrawings(devices.packageDrawings());
    for (OptionButton b : {OptionButton::EraseEepromOn, OptionButton::ProgramEepromOn,
                           OptionButton::VerifyEepromOn, OptionButton::ReadEepromOn})
        panel.enableOptionButton(b);
    image.SetUnimplemented(devices.configAddress, false);
    implement(devices.eepromStart, devices.eepromEnd);
    if (devices.romArea1Start != 0) {
        panel.enableOptionButton(OptionButton::ReadFlashOn);
        implement(devices.romArea1Start, devices.romArea1End);
    }
    if (devices.romArea2Start != 0) {
        panel.enableOptionButton(OptionButton::ReadFlashOn);
        implement(devices.romArea2Start, devices.romArea2End);
    }
    if (devices.bootRomStart != 0) {
        panel.enableOptionButton(OptionButton::ReadRomOn);
        implement(devices.bootRomStart, devices.bootRomEnd);
    }
    panel.showAddressAtTop(devices.eepromStart);
    image.EndBulk();
}

DeviceLinking::DeviceLinking(SupportedDeviceList& devices, HexEditModel& model, LogSink& log,
                             MessageSink& messages, DevicePanel& panel)
    : devices_(devices), model_(model), log_(log), messages_(messages), panel_(panel) {}

void DeviceLinking::showSelection() { setField(devices_.selectedDevice()); }

void DeviceLinking::setField(const std::string& name) {
    // The field's change handler runs only when its text changes.
    if (shown_ && name == field_) return;
    shown_ = true;
    field_ = name;
    panel_.showDeviceName(name);
    ApplyDeviceChange(model_, devices_, panel_);
}

void DeviceLinking::deviceButtonClicked(bool down, bool idle, const std::function<void()>& dialog) {
    if (down && !idle) {
        panel_.releaseDeviceButton();
        return;
    }
    if (!down) return;
    const std::string before = devices_.selectedDevice();
    if (dialog) dialog();
    panel_.releaseDeviceButton();
    if (devices_.selectedDevice() != field_ &&
        !MayClose(panel_.bufferSaved(), !model_.IsModified(), messages_,
                  [this] { return panel_.saveBuffer(); })) {
        devices_.selectDevice(before);
        return;
    }
    log_.AddLogLine(devices_.selectedDevice() + " selected.", LogInfo);
    setField(devices_.selectedDevice());
}

void DeviceLinking::startButtonClicked(SequenceKind kind, bool down, bool idle) {
    if (down && !idle) {
        panel_.releaseStartButton(kind);
        return;
    }
    if (down && kind == SequenceKind::Read) panel_.bufferUnsaved();
    panel_.runSequence(kind, down);
}

bool DeviceLinking::optionBoxClicked(OptionBox box, bool checked) {
    if (!checked || box == OptionBox::PTErrorsICP) return checked;
    const char* warning = box == OptionBox::PTErrorsOBP ? kObpWarning : kConfigWarning;
    return messages_.askQuestion(warning, QuestionButtons::YesNo) == Answer::Yes;
}

}  // namespace jqz
