#pragma once
// The dialog "Firmware Update": the warning that the programmer must be in Service mode,
// Start and Cancel. Start runs the update on a worker; closing the dialog, however it
// happens, stops a running update and waits for it.
#include <QDialog>

#include "core/device/firmware_update.h"

class QLabel;
class QPushButton;

namespace jqz {

class THupdate : public QDialog {
    Q_OBJECT
public:
    // host: the main window, whose connection, log and gauge the update uses.
    explicit THupdate(SequenceHost& host, QWidget* parent = nullptr);

    void Button1Click();  // Start
    void Button2Click();  // Cancel
    // Closing: a worker is told to stop and waited for; an update that did not finish marks
    // the connection lost and logs "Firmware Update Interrupted.".
    void FormClose();
    // The worker has ended (on this dialog's thread): the dialog closes as if Cancel had been
    // pressed, unless it is closed already or a new update runs.
    void UpdateEnded();
    bool updateRunning() const { return update_.Running(); }

    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    FirmwareUpdate update_;
    QPushButton* button1_;
    QPushButton* button2_;
};

}  // namespace jqz
