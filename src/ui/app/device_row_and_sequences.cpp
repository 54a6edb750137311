// The Device ID row and the three sequence pages: their controls, and the window's side of
// the device-linking rules (DeviceLinking decides, DeviceRowPanel shows).
#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QShortcut>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "core/device/device_linking.h"
#include "ui/app/icons.h"
#include "ui/app/prog_shell.h"
#include "ui/image/grid_font.h"
#include "ui/link/cable_limits.h"
#include "ui/link/firmware_update_dialog.h"

namespace jqz {

// What the rules change on the screen: the controls of the row and the pages, and the hooks
// that tests replace.
class TProgShell::DeviceRowPanel : public DevicePanel {
public:
    explicit DeviceRowPanel(TProgShell& shell) : s_(shell) {}
    void releaseOptionButtons() override {
        for (QToolButton* b : s_.optionButtons_) b->setChecked(false);
        for (QToolButton* b : s_.optionButtons_) b->setEnabled(false);
        s_.showLinkLimits();  // the tool tips of the new device's limits
    }
    void enableOptionButton(OptionButton button) override {
        if (!LinkAllows(s_.target(), *s_.devices_, button)) return;
        if (auto* b = s_.findChild<QToolButton*>(OptionButtonName(button))) b->setEnabled(true);
    }
    void releaseDeviceButton() override { s_.deviceIdButton_->setChecked(false); }
    void showDeviceName(const std::string& name) override {
        // Another device: the CONFIG the cable saw was another part's.
        if (s_.cableLink_) s_.cableLink_->ForgetConfigSeen();
        s_.deviceIdValue_->setText(QString::fromStdString(name));
    }
    void showPackageDrawings(const std::vector<std::string>& drawings) override {
        if (s_.showPackageDrawings) s_.showPackageDrawings(drawings);
    }
    void showAddressAtTop(int address) override {
        if (s_.showAddressAtTop) s_.showAddressAtTop(address);
    }
    void releaseStartButton(SequenceKind kind) override { startButton(kind)->setChecked(false); }
    void runSequence(SequenceKind kind, bool start) override {
        auto& driver = kind == SequenceKind::Read ? s_.readSequence : s_.programSequence;
        // No to the question before a run over the cable sends nothing.
        if (start && driver && !s_.confirmBeforeRun()) {
            releaseStartButton(kind);
            return;
        }
        if (driver)
            driver(start);
        else
            releaseStartButton(kind);
    }
    void bufferUnsaved() override { s_.setBufferSaved(false); }
    bool bufferSaved() const override { return s_.bufferSaved(); }
    bool saveBuffer() override { return s_.EditSaveFileExecute(); }

private:
    QToolButton* startButton(SequenceKind kind) const {
        return kind == SequenceKind::Read ? s_.readStart_ : s_.programStart_;
    }
    TProgShell& s_;
};

void TProgShell::createSequenceHooks() {
    // The gauge model moves on any thread; ProgBar follows it on this one, one repaint for
    // however many changes came meanwhile.
    gauge_.setChangeHandler([this](int, int) {
        if (gaugeRepaintPending_.exchange(true)) return;
        QMetaObject::invokeMethod(
            this,
            [this] {
                gaugeRepaintPending_ = false;
                // A position beyond the maximum shows a full bar.
                const int maximum = std::max(1, gauge_.maximum());
                progBar_->setMaximum(maximum);
                progBar_->setValue(std::clamp(gauge_.position(), 0, maximum));
            },
            Qt::QueuedConnection);
    });
    programSequence = [this](bool start) {
        if (!deviceWrite_) deviceWrite_ = std::make_unique<DeviceWrite>(*this);
        if (start)
            deviceWrite_->Start();
        else
            deviceWrite_->Stop();
    };
    readSequence = [this](bool start) {
        if (!deviceRead_) deviceRead_ = std::make_unique<DeviceRead>(*this);
        if (start)
            deviceRead_->Start();
        else
            deviceRead_->Stop();
    };
}

void TProgShell::createDeviceLinking() {
    devicePanel_ = std::make_unique<DeviceRowPanel>(*this);
    linking_ = std::make_unique<DeviceLinking>(*devices_, *hexModel_, log_, *sink_, *devicePanel_);
}

QToolButton* TProgShell::optionButton(const char* name, const char* hint, const char* icon,
                                      std::atomic<bool>& state) {
    auto* b = new QToolButton;
    b->setObjectName(name);
    b->setCheckable(true);
    b->setEnabled(false);
    b->setStatusTip(hint);
    b->setToolTip(hint);
    b->setIcon(ShellIcon(icon));
    b->setIconSize(QSize(24, 24));
    b->setAutoRaise(false);
    // Down is plain to see: the selection colour behind the picture and a darker frame, where
    // the style alone draws a barely darker grey. The button reached with Tab is framed in the
    // selection colour (dotted when it is down), as the style sheet hides the style's own mark.
    b->setStyleSheet(
        "QToolButton { border: 1px solid palette(mid); border-radius: 3px; padding: 3px;"
        " background: palette(button); }"
        "QToolButton:hover { border-color: palette(highlight); }"
        "QToolButton:focus { border: 2px solid palette(highlight); padding: 2px; }"
        "QToolButton:checked { border: 2px solid palette(shadow); padding: 2px;"
        " background: palette(highlight); }"
        "QToolButton:checked:focus { border: 2px dotted palette(highlighted-text); }"
        "QToolButton:disabled { background: palette(window); }");
    connect(b, &QToolButton::toggled, this, [&state](bool down) { state = down; });
    optionButtons_.push_back(b);
    return b;
}

QWidget* TProgShell::createUpperPanel() {
    auto* panel = new QWidget;
    auto* v = new QVBoxLayout(panel);
    v->setContentsMargins(0, 0, 0, 0);
    auto* row = new QHBoxLayout;
    deviceIdButton_ = new QToolButton;
    deviceIdButton_->setObjectName("DeviceIDButton");
    deviceIdButton_->setCheckable(true);
    deviceIdButton_->setIcon(ShellIcon("chip"));
    deviceIdButton_->setIconSize(QSize(24, 24));
    deviceIdButton_->setStatusTip("Select Device");
    deviceIdButton_->setToolTip("Select Device");
    connect(deviceIdButton_, &QToolButton::clicked, this, [this] { DeviceIDButtonClick(); });
    deviceIdValue_ = new QLineEdit;
    deviceIdValue_->setObjectName("DeviceIDValue");
    deviceIdValue_->setReadOnly(true);
    deviceIdValue_->setFocusPolicy(Qt::NoFocus);
    deviceIdValue_->setStatusTip("Device ID/Mode of Operation");
    QFont mono(DefaultGridFamily());
    mono.setStyleHint(QFont::TypeWriter);
    mono.setPointSize(11);
    mono.setBold(true);
    deviceIdValue_->setFont(mono);
    row->addWidget(deviceIdButton_);
    row->addWidget(deviceIdValue_, 1);
    v->addLayout(row);

    seqWin_ = new QTabWidget;
    seqWin_->setObjectName("SeqWin1");
    seqWin_->addTab(createProgramPage(), ShellIcon("program"), "Program Sequence");
    seqWin_->addTab(createReadPage(), ShellIcon("read"), "Read Sequence");
    seqWin_->addTab(createOptionsPage(), ShellIcon("options"), "Options");
    seqWin_->setCurrentIndex(1);
    v->addWidget(seqWin_);
    // The keys that turn pages, from anywhere in the window (the tab bar alone knows them
    // only while it holds the focus).
    const auto turnPages = [this](std::initializer_list<QKeySequence> keys, int step) {
        for (const QKeySequence& key : keys)
            connect(new QShortcut(key, this), &QShortcut::activated, seqWin_, [this, step] {
                const int count = seqWin_->count();
                seqWin_->setCurrentIndex((seqWin_->currentIndex() + step + count) % count);
            });
    };
    turnPages({QKeySequence(Qt::CTRL | Qt::Key_Tab), QKeySequence(Qt::CTRL | Qt::Key_PageDown)}, 1);
    turnPages({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab), QKeySequence(Qt::CTRL | Qt::Key_PageUp)}, -1);
    return panel;
}

namespace {

QToolButton* startButton(const char* name) {
    auto* b = new QToolButton;
    b->setObjectName(name);
    b->setCheckable(true);
    // While its sequence runs the button reads "Stop", with its own picture.
    auto show = [b](bool running) {
        b->setText(running ? "Stop" : "Start");
        b->setIcon(ShellIcon(running ? "stop" : "start"));
    };
    show(false);
    QObject::connect(b, &QToolButton::toggled, b, show);
    b->setIconSize(QSize(32, 32));
    b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    b->setMinimumWidth(72);
    b->setStatusTip("Start Sequence");
    b->setToolTip("Start Sequence");
    return b;
}

QGroupBox* group(const char* title, std::initializer_list<std::pair<QToolButton*, const char*>> buttons) {
    auto* box = new QGroupBox(title);
    auto* grid = new QHBoxLayout(box);
    for (const auto& [button, label] : buttons) {
        auto* col = new QVBoxLayout;
        col->addWidget(button, 0, Qt::AlignHCenter);
        auto* l = new QLabel(label);
        l->setAlignment(Qt::AlignHCenter);
        col->addWidget(l);
        grid->addLayout(col);
    }
    return box;
}

}  // namespace

QWidget* TProgShell::createProgramPage() {
    auto* page = new QWidget;
    page->setObjectName("ProgSeq");
    page->setStatusTip("Program Sequence Panel");
    auto* h = new QHBoxLayout(page);
    h->addWidget(group("Erase", {{optionButton("EraseEepromOn", "EEPROM ON/OFF", "eeprom",
                                               options_.EraseEepromOn), "EEPROM"},
                                 {optionButton("EraseFlashOn", "EPROM ON/OFF", "eprom",
                                               options_.EraseFlashOn), "EPROM"}}));
    h->addWidget(group("Program", {{optionButton("ProgramEepromOn", "EEPROM ON/OFF", "eeprom",
                                                 options_.ProgramEepromOn), "EEPROM"},
                                   {optionButton("ProgramFlashOn", "EPROM ON/OFF", "eprom",
                                                 options_.ProgramFlashOn), "EPROM"}}));
    h->addWidget(group("Verify", {{optionButton("VerifyEepromOn", "EEPROM ON/OFF", "eeprom",
                                                options_.VerifyEepromOn), "EEPROM"},
                                  {optionButton("VerifyFlashOn", "EPROM ON/OFF", "eprom",
                                                options_.VerifyFlashOn), "EPROM"}}));
    h->addStretch(1);
    programStart_ = startButton("ProgramStartButton");
    connect(programStart_, &QToolButton::clicked, this, [this] { ProgramStartButtonClick(); });
    h->addWidget(programStart_);
    return page;
}

QWidget* TProgShell::createReadPage() {
    auto* page = new QWidget;
    page->setObjectName("ReadSeq");
    page->setStatusTip("Read Sequence Panel");
    auto* h = new QHBoxLayout(page);
    h->addWidget(group("Read", {{optionButton("ReadEepromOn", "EEPROM ON/OFF", "eeprom",
                                              options_.ReadEepromOn), "EEPROM"},
                                {optionButton("ReadFlashOn", "EPROM/ROM ON/OFF", "eprom",
                                              options_.ReadFlashOn), "EPROM/ROM"},
                                {optionButton("ReadRomOn", "BOOT ROM ON/OFF", "bootrom",
                                              options_.ReadRomOn), "BOOT ROM"}}));
    h->addStretch(1);
    readStart_ = startButton("ReadStartButton");
    connect(readStart_, &QToolButton::clicked, this, [this] { ReadStartButtonClick(); });
    h->addWidget(readStart_);
    return page;
}

QWidget* TProgShell::createOptionsPage() {
    auto* page = new QWidget;
    page->setObjectName("ProgOptions");
    page->setStatusTip("Options Panel");
    auto* v = new QVBoxLayout(page);
    auto box = [&](const char* name, const char* caption, std::atomic<bool>& state) {
        auto* c = new QCheckBox(caption);
        c->setObjectName(name);
        connect(c, &QCheckBox::toggled, this, [&state](bool on) { state = on; });
        v->addWidget(c);
        return c;
    };
    ptErrorsObp_ = box("PTErrorsOBP", "Ignore Pin Tester Errors in OBP Mode", options_.PTErrorsOBP);
    ptErrorsIcp_ = box("PTErrorsICP", "Ignore Pin Tester Errors in ICP Mode", options_.PTErrorsICP);
    confProgEnable_ =
        box("ConfProgEnable", "Enable Program of CONFIG Register", options_.ConfProgEnable);
    // Kept in the settings file, unlike the three above.
    skipBlankBlocks_ = box("SkipBlankBlocks", "Skip blank blocks", options_.SkipBlankBlocks);
    skipBlankBlocks_->setStatusTip(
        "After an erase, blocks of 128 bytes that are all 0xFF in the image are not written");
    connect(ptErrorsObp_, &QCheckBox::clicked, this, [this] { PTErrorsOBPClick(); });
    connect(confProgEnable_, &QCheckBox::clicked, this, [this] { ConfProgEnableClick(); });
    v->addStretch(1);
    return page;
}

bool TProgShell::ComIdle() const { return !detecting_ && (!linkIdle || linkIdle()); }

void TProgShell::AddLogLine(const std::string& text, int kind) { log_.AddLogLine(text, kind); }

void TProgShell::setGaugeMaximum(int maximum) { gauge_.setMaximum(maximum); }

void TProgShell::setGaugePosition(int position) { gauge_.setPosition(position); }

bool TProgShell::linkBusy() const {
    return (deviceWrite_ && deviceWrite_->Running()) || (deviceRead_ && deviceRead_->Running()) ||
           (hupdate_ != nullptr && hupdate_->updateRunning());
}

void TProgShell::SequenceEnded(SequenceKind kind) {
    QMetaObject::invokeMethod(
        this,
        [this, kind] {
            switch (kind) {
                case SequenceKind::Program:
                    if (!deviceWrite_ || !deviceWrite_->Running()) programStart_->setChecked(false);
                    break;
                case SequenceKind::Read:
                    if (!deviceRead_ || !deviceRead_->Running()) readStart_->setChecked(false);
                    break;
                case SequenceKind::FirmwareUpdate:
                    if (hupdate_ != nullptr) hupdate_->UpdateEnded();
                    break;
            }
        },
        Qt::QueuedConnection);
}

void TProgShell::DeviceIDButtonClick() {
    linking_->deviceButtonClicked(deviceIdButton_->isChecked(), ComIdle(), deviceDialog);
}

void TProgShell::DeviceIDValueChange() { ApplyDeviceChange(*hexModel_, *devices_, *devicePanel_); }

void TProgShell::ProgramStartButtonClick() {
    linking_->startButtonClicked(SequenceKind::Program, programStart_->isChecked(), ComIdle());
}

void TProgShell::ReadStartButtonClick() {
    linking_->startButtonClicked(SequenceKind::Read, readStart_->isChecked(), ComIdle());
}

void TProgShell::PTErrorsOBPClick() {
    ptErrorsObp_->setChecked(linking_->optionBoxClicked(OptionBox::PTErrorsOBP, ptErrorsObp_->isChecked()));
}

void TProgShell::ConfProgEnableClick() {
    confProgEnable_->setChecked(
        linking_->optionBoxClicked(OptionBox::ConfProgEnable, confProgEnable_->isChecked()));
}

}  // namespace jqz
