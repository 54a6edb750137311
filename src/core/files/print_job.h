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
#include <vector>

#include "core/image/hex_editor.h"

namespace jqz {

class HexEditModel;
class ImageDescription;
class LogSink;
class MessageSink;

inline constexpr const char* kPrintBufferComplete = "Print buffer complete";
inline constexpr const char* kPrintJobInterrupted = "Print Job Interrupted";

// The printed page's margin on every side, in printer device units.
inline constexpr int kPrintMargin = 200;

// The document's font size for a row width: 12 points for 16 bytes, 8 for 32.
int PrintFontPoints(int bytesPerRow);

// The range typed into the dialog, checked as every range dialog checks it.
std::optional<AddressRange> PrintRange(const std::string& fromText, const std::string& toText,
                                       MessageSink& messages);

// "Printing buffer : 0x0000-0xFFFF -> " and the printer's name.
std::string PrintingBufferLine(const AddressRange& range, const std::string& printerName);

// What heads every page after the first (the first carries the names in the dump itself):
// "Project : " and "Device : " with the names that are set, three blanks apart; empty when
// neither is.
std::string PrintPageHeading(const ImageDescription& description);

// One printed page: the heading (may be empty), the dump's lines, and "Page n of N" below.
struct PrintPage {
    std::string heading;
    std::vector<std::string> lines;
    std::string footer;
    friend bool operator==(const PrintPage&, const PrintPage&) = default;
};

// The dump's lines cut into pages of at most linesPerPage lines (at least one); the first
// page has no heading. No lines still give one page.
std::vector<PrintPage> PrintPages(const std::vector<std::string>& lines, int linesPerPage,
                                  const std::string& heading);

// Where a worker's body runs. The standard one is a std::thread; the window layer supplies
// one whose thread may own the toolkit's objects (text layout, painting).
class WorkerLauncher {
public:
    virtual ~WorkerLauncher() = default;
    // Runs body on a new thread. Once only.
    virtual void start(std::function<void()> body) = 0;
    // Waits until the body has returned; at once when it never started.
    virtual void join() = 0;
    // Whether the caller is the launched thread itself.
    virtual bool isRunningThread() const = 0;
};

std::unique_ptr<WorkerLauncher> MakeStdThreadLauncher();

// Where the print thread lays the dump. Called on the print thread only.
class PrintDocument {
public:
    virtual ~PrintDocument() = default;
    // Empties the document and sets its font size and the heading of its later pages.
    virtual void begin(int fontPoints, const std::string& pageHeading) = 0;
    virtual void appendLine(const std::string& line) = 0;
    // Prints the document as one job; empty on success, otherwise why it was not printed.
    virtual std::string print() = 0;
};

struct PrintRequest {
    AddressRange range;
    int bytesPerRow = 16;
};

// The print thread. It starts at once, on the launcher's thread (a std::thread when none is
// given), and, when it is done, calls `finished` on its own thread (the dialog then closes). Its return value is 1 until the document was handed to
// the printer (or the printer refused it, which is logged as an error), then 0.
// The dump's text and the page heading are taken from the model in the constructor, on the
// caller's thread: the printout is the image as it was at "Print", whatever changes the image
// or its names meanwhile, and the thread never reads the model.
class PrinterTh {
public:
    struct Gauge {
        std::function<void(int)> setMaximum;
        std::function<void(int)> setPosition;
    };

    PrinterTh(const HexEditModel& model, PrintRequest request, PrintDocument& document,
              LogSink& log, Gauge gauge, std::function<void()> finished,
              std::unique_ptr<WorkerLauncher> launcher = nullptr);
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

    PrintRequest request_;
    // False when the dump did not fit into memory.
    bool haveText_ = true;
    std::vector<std::string> lines_;
    std::string heading_;
    PrintDocument& document_;
    LogSink& log_;
    Gauge gauge_;
    std::function<void()> finished_;
    std::atomic<bool> terminated_{false};
    std::atomic<int> returnValue_{1};
    std::unique_ptr<WorkerLauncher> launcher_;
};

// The close of the print dialog: asks a running print thread to stop, waits for it, logs
// "Print Job Interrupted" when it ended before printing, and releases it.
void StopPrint(std::unique_ptr<PrinterTh>& thread, LogSink& log);

}  // namespace jqz
