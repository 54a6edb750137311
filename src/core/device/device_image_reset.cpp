#include "core/device/device_image_reset.h"

#include "core/device/device_linking.h"
#include "core/device/supported_device_list.h"

namespace jqz {

namespace {

// A device change without a window: only the address shown at the top is passed on.
class ImageOnlyPanel : public DevicePanel {
public:
    explicit ImageOnlyPanel(const std::function<void(int)>& showAt) : showAt_(showAt) {}
    void releaseOptionButtons() override {}
    void enableOptionButton(OptionButton) override {}
    void releaseDeviceButton() override {}
    void showDeviceName(const std::string&) override {}
    void showPackageDrawings(const std::vector<std::string>&) override {}
    void showAddressAtTop(int address) override {
        if (showAt_) showAt_(address);
    }
    void releaseStartButton(SequenceKind) override {}
    void runSequence(SequenceKind, bool) override {}
    void bufferUnsaved() override {}
    bool bufferSaved() const override { return true; }
    bool saveBuffer() override { return false; }

private:
    const std::function<void(int)>& showAt_;
};

}  // namespace

void ResetImageForDevice(HexEditModel& model, const SupportedDeviceList& devices,
                         const std::function<void(int)>& showAddressAtTop) {
    ImageOnlyPanel panel(showAddressAtTop);
    ApplyDeviceChange(model, devices, panel);
}

}  // namespace jqz
