#pragma once
// Printing a hex dump of an address range: the checks of the print dialog and the print
// thread, which lays the dump into a document line by line (moving the gauge, stoppable
// between lines) and then hands the document to the printer.
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "core/image/hex_editor.h"

namespace jqz {

class HexEditModel;
class LogSink;
class MessageSink;

inline constexpr const char* kPrintBufferComplete = "Print buffer complete";
inline constexpr const char* kPrintJobInterrupted = "Print Job Interrupted";

// The printed page's margin at the left and at the top, in printer device units.
inline constexpr int kPrintMargin = 200;

// The document's font size for a row width: 12 points for 16 bytes, 8 for 32.
int PrintFontPoints(int bytesPerRow);

// The range typed into the dialog, checked as every range dialog checks it.
std::optional<AddressRange> PrintRange(const std::string& fromText, const std::string& toText,
                                       MessageSink& messages);

// "Printing buffer : 0x0000-0xFFFF -> " and the printer's name.
std::string PrintingBufferLine(const AddressRange& range, const std::string& printerName);

// Where the print thread lays the dump. Called on the print thread only.
class PrintDocument {
public:
    virtual ~PrintDocument() = default;
    // Empties the document and sets its font size.
    virtual void begin(int fontPoints) = 0;
    virtual void appendLine(const std::string& line) = 0;
    // Prints the document as one job; empty on success, otherwise why it was not printed.
    virtual std::string print() = 0;
};

struct PrintRequest {
    AddressRange range;
    int bytesPerRow = 16;
};

// The print thread. It starts at once and, when it is done, calls `finished` on its own
// thread (the dialog then closes). Its return value is 1 until the document was handed to
// the printer (or the printer refused it, which is logged as an error), then 0.
class PrinterTh {
public:
    struct Gauge {
        std::function<void(int)> setMaximum;
        std::function<void(int)> setPosition;
    };

    PrinterTh(const HexEditModel& model, PrintRequest request, PrintDocument& document,
              LogSink& log, Gauge gauge, std::function<void()> finished);
    // Stops and waits, as the dialog's close does.
    ~PrinterTh();
    PrinterTh(const PrinterTh&) = delete;
    PrinterTh& operator=(const PrinterTh&) = delete;

    void Terminate() { terminated_.store(true); }
    bool Terminated() const { return terminated_.load(); }
    void WaitFor();
    int ReturnValue() const { return returnValue_.load(); }

private:
    void Execute();

    const HexEditModel& model_;
    PrintRequest request_;
    PrintDocument& document_;
    LogSink& log_;
    Gauge gauge_;
    std::function<void()> finished_;
    std::atomic<bool> terminated_{false};
    std::atomic<int> returnValue_{1};
    std::thread thread_;
};

// The close of the print dialog: asks a running print thread to stop, waits for it, logs
// "Print Job Interrupted" when it ended before printing, and releases it.
void StopPrint(std::unique_ptr<PrinterTh>& thread, LogSink& log);

}  // namespace jqz
