#include "core/files/print_job.h"

#include <algorithm>
#include <new>
#include <vector>

#include "core/messages/log_model.h"
#include "core/image/image_description.h"
#include "core/image/editor_messages.h"
#include "core/image/hex_edit_model.h"
#include "core/image/number_parsers.h"

namespace jqz {

int PrintFontPoints(int bytesPerRow) { return bytesPerRow == 16 ? 12 : 8; }

std::optional<AddressRange> PrintRange(const std::string& fromText, const std::string& toText,
                                       MessageSink& messages) {
    return ParseAddressRange(fromText, toText, messages);
}

std::string PrintingBufferLine(const AddressRange& range, const std::string& printerName) {
    return "Printing buffer : " + AddressText(range.from) + "-" + AddressText(range.to) +
           " -> " + printerName;
}

std::string PrintPageHeading(const ImageDescription& description) {
    std::string heading;
    if (!description.projectName().empty()) heading = "Project : " + description.projectName();
    if (!description.deviceName().empty())
        heading += (heading.empty() ? "" : "   ") + std::string("Device : ") + description.deviceName();
    return heading;
}

std::vector<PrintPage> PrintPages(const std::vector<std::string>& lines, int linesPerPage,
                                  const std::string& heading) {
    const std::size_t perPage = static_cast<std::size_t>(std::max(1, linesPerPage));
    const std::size_t count = std::max<std::size_t>(1, (lines.size() + perPage - 1) / perPage);
    std::vector<PrintPage> pages(count);
    for (std::size_t p = 0; p < count; ++p) {
        const auto first = lines.begin() + static_cast<std::ptrdiff_t>(std::min(lines.size(), p * perPage));
        const auto last = lines.begin() + static_cast<std::ptrdiff_t>(std::min(lines.size(), (p + 1) * perPage));
        pages[p].heading = p == 0 ? std::string() : heading;
        pages[p].lines.assign(first, last);
        pages[p].footer = "Page " + std::to_string(p + 1) + " of " + std::to_string(count);
    }
    return pages;
}

namespace {

class StdThreadLauncher : public WorkerLauncher {
public:
    ~StdThreadLauncher() override { join(); }
    void start(std::function<void()> body) override { thread_ = std::thread(std::move(body)); }
    void join() override {
        if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
    }
    bool isRunningThread() const override { return thread_.get_id() == std::this_thread::get_id(); }

private:
    std::thread thread_;
};

}  // namespace

std::unique_ptr<WorkerLauncher> MakeStdThreadLauncher() { return std::make_unique<StdThreadLauncher>(); }

PrinterTh::PrinterTh(const HexEditModel& model, PrintRequest request, PrintDocument& document,
                     LogSink& log, Gauge gauge, std::function<void()> finished,
                     std::unique_ptr<WorkerLauncher> launcher)
    : request_(request),
      document_(document),
      log_(log),
      gauge_(std::move(gauge)),
      finished_(std::move(finished)),
      launcher_(launcher ? std::move(launcher) : MakeStdThreadLauncher()) {
    try {
        const std::string text = model.DumpText(request_.range.from, request_.range.to, request_.bytesPerRow);
        for (std::size_t at = 0; at < text.size();) {
            const std::size_t end = text.find("\r\n", at);
            lines_.push_back(text.substr(at, end == std::string::npos ? end : end - at));
            at = end == std::string::npos ? text.size() : end + 2;
        }
    } catch (const std::bad_alloc&) {
        lines_.clear();
        haveText_ = false;
    }
    heading_ = PrintPageHeading(model.description);
    launcher_->start([this] { Execute(); });
}

PrinterTh::~PrinterTh() {
    Terminate();
    WaitFor();
}

void PrinterTh::WaitFor() {
    if (!launcher_->isRunningThread()) launcher_->join();
}

void PrinterTh::Execute() {
    returnValue_.store(1);
    if (!Terminated()) {
        if (!haveText_) log_.AddLogLine(kNotEnoughMemoryMessage, LogError);
        document_.begin(PrintFontPoints(request_.bytesPerRow), heading_);
        if (gauge_.setMaximum) gauge_.setMaximum(static_cast<int>(lines_.size()));
        for (std::size_t i = 0; i < lines_.size() && !Terminated(); ++i) {
            document_.appendLine(lines_[i]);
            if (gauge_.setPosition) gauge_.setPosition(static_cast<int>(i));
        }
        if (gauge_.setPosition) gauge_.setPosition(0);
        if (!haveText_) {
            returnValue_.store(0);
        } else if (!Terminated()) {
            // Once printing has begun it is not interrupted.
            const std::string error = document_.print();
            if (error.empty())
                log_.AddLogLine(kPrintBufferComplete, LogInfo);
            else
                log_.AddLogLine(error, LogError);
            returnValue_.store(0);
        }
    }
    if (finished_) finished_();
}

void StopPrint(std::unique_ptr<PrinterTh>& thread, LogSink& log) {
    if (!thread) return;
    thread->Terminate();
    thread->WaitFor();
    if (thread->ReturnValue() != 0) log.AddLogLine(kPrintJobInterrupted, LogInfo);
    thread.reset();
}

}  // namespace jqz
