#pragma once
// The bootstrap cable's prompt with the reset by hand: "Hold MODA and MODB low and press the
// board's reset button.", with Cancel. It stays up while the program waits for the part, and
// leaves the main window usable, so that its Stop button ends the wait as Cancel does.
#include <QDialog>
#include <functional>

namespace jqz {

class TResetPrompt : public QDialog {
    Q_OBJECT
public:
    // cancel: ends the wait (called on Cancel, the close button and Escape).
    TResetPrompt(std::function<void()> cancel, QWidget* parent = nullptr);

    // Shown as the wait begins; hidden as it ends, whatever ended it.
    void setWaiting(bool waiting);

    void reject() override;

private:
    std::function<void()> cancel_;
};

}  // namespace jqz
