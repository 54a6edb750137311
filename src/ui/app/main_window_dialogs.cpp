// The dialogs the main window opens, each created on first use and kept until shutdown, and
// centred on the screen when it opens.
#include "ui/app/prog_shell.h"
#include "ui/app/window_placement.h"
#include "ui/device/device_wizard.h"
#include "ui/files/load_dialog.h"
#include "ui/files/print_dialog.h"
#include "ui/files/save_dialog.h"
#include "ui/image/hex_edit.h"
#include "ui/image/hex_options_dialog.h"
#include "ui/link/cable_limits.h"
#include "ui/link/firmware_update_dialog.h"

namespace jqz {

void TProgShell::createDialogHooks() {
    editorOptionsDialog = [this] {
        if (hoptions_ == nullptr) hoptions_ = new THoptions(*hexEdit_, this);
        CentreDialog(hoptions_);
        hoptions_->exec();
    };
    deviceDialog = [this] {
        if (deviceWiz_ == nullptr)
            deviceWiz_ = new TDeviceWiz1(*devices_, quickInfoLoader, this);
        CentreDialog(deviceWiz_);
        // The keyboard goes to the list first.
        TDeviceWiz1::Refusal refusal;
        if (const TargetLink* link = target())
            refusal = [link](const std::string& name) { return LinkRefusesDevice(*link, name); };
        deviceWiz_->setRefusal(refusal);
        if (auto* list = deviceWiz_->findChild<QWidget*>("ListBox1")) list->setFocus();
        deviceWiz_->exec();
    };
    loadDialog = [this] {
        if (loadf_ == nullptr) loadf_ = new TLoadf(*hexModel_, recentFiles_, *sink_, log_, this);
        loadf_->exec();
    };
    printDialog = [this] {
        if (printd_ == nullptr)
            printd_ = new TPrintd(
                *hexModel_, *sink_, log_, [this](int m) { setGaugeMaximum(m); },
                [this](int p) { setGaugePosition(p); }, this);
        printd_->exec();
    };
    saveDialog = [this] {
        if (savef_ == nullptr) savef_ = new TSavef(*hexModel_, *sink_, log_, this);
        return savef_->exec() == QDialog::Accepted;
    };
    updateDialog = [this] {
        if (hupdate_ == nullptr) hupdate_ = new THupdate(*this, this);
        CentreDialog(hupdate_);
        hupdate_->exec();
    };
}

}  // namespace jqz
