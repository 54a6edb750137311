#pragma once
// "Print": prints a hex dump of an address range, 16 or 32 bytes a row, on the chosen printer.
// The dump is laid out and printed by the print thread while the dialog stays open; closing
// the dialog stops a print that has not reached the printer yet.
#include <QDialog>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/files/print_job.h"

class QButtonGroup;
class QThread;
class QLineEdit;
class QPrinter;
class QPushButton;

namespace jqz {

class HexEditModel;
class LogSink;
class MessageSink;

// The document the print thread fills: the dump's lines in a fixed-pitch font, printed page
// by page within the margin, each page after the first headed by the project and device and
// every page numbered at its foot. Used on the print thread only, which must be a QThread
// (QtThreadLauncher), since it lays out and paints text.
class PrinterDocument : public PrintDocument {
public:
    explicit PrinterDocument(QPrinter& printer) : printer_(printer) {}
    void begin(int fontPoints, const std::string& pageHeading) override;
    void appendLine(const std::string& line) override;
    std::string print() override;

private:
    QPrinter& printer_;
    int fontPoints_ = 12;
    std::string heading_;
    std::vector<std::string> lines_;
};

// Runs a worker's body on a QThread, where the toolkit's objects may live.
class QtThreadLauncher : public WorkerLauncher {
public:
    ~QtThreadLauncher() override;
    void start(std::function<void()> body) override;
    void join() override;
    bool isRunningThread() const override;

private:
    std::unique_ptr<QThread> thread_;
};

// The name a printout goes to: the printer's, or the file's when it prints to a file.
QString PrinterDisplayName(const QPrinter& printer);

class TPrintd : public QDialog {
    Q_OBJECT
public:
    using GaugeSetter = std::function<void(int)>;

    // The gauge setters are called on the dialog's thread.
    TPrintd(const HexEditModel& model, MessageSink& messages, LogSink& log,
            GaugeSetter gaugeMaximum, GaugeSetter gaugePosition, QWidget* parent = nullptr);
    ~TPrintd() override;

    QPrinter& printer() { return *printer_; }

    // "Setup ...": the printer setup dialog; where the system's dialog cannot serve the printer
    // (Windows without an installed printer), the choice of the PDF file the printout goes to.
    void Button1Click();
    // "Print": checks the range, logs it and starts the print thread. A printout to a file that
    // has no name yet asks for the file first; no answer, no print.
    void Button2Click();
    // Every close (Cancel, the close box, the end of a print) stops and waits for the thread.
    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    // Runs f on the dialog's thread, later.
    void post(std::function<void()> f);
    // Asks for the PDF file the printout goes to; false when the user cancels.
    bool choosePdfFile();

    const HexEditModel& model_;
    MessageSink& messages_;
    LogSink& log_;
    GaugeSetter gaugeMaximum_;
    GaugeSetter gaugePosition_;

    QLineEdit* edit1_ = nullptr;
    QLineEdit* edit2_ = nullptr;
    QButtonGroup* bytesPerRow_ = nullptr;
    QPushButton* button1_ = nullptr;
    QPushButton* button2_ = nullptr;

    std::unique_ptr<QPrinter> printer_;
    std::unique_ptr<PrinterDocument> document_;
    std::unique_ptr<PrinterTh> thread_;
};

}  // namespace jqz
