#include "cli/cli_production.h"

#include <cctype>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>

#include "core/platform/console.h"

namespace jqz::cli {

namespace {

// Lines of standard input, read one at a time when asked for, on a thread of their own so
// that Ctrl+C is seen while the user has not answered. The thread is left blocked in its
// read when the run ends without a line; it touches nothing but its shared state.
class LineReader {
public:
    enum class Result { Line, End, Stopped };

    Result next(std::string& line, const std::atomic<bool>& stop) {
        if (!thread_) {
            thread_ = true;
            std::thread([shared = shared_] { readLines(*shared); }).detach();
        }
        std::unique_lock lock(shared_->mutex);
        if (!shared_->wanted && !shared_->ready) {
            shared_->wanted = true;
            shared_->changed.notify_all();
        }
        while (!shared_->ready) {
            if (stop.load()) return Result::Stopped;
            shared_->changed.wait_for(lock, std::chrono::milliseconds(50));
        }
        if (stop.load()) return Result::Stopped;
        shared_->ready = false;
        if (shared_->ended) return Result::End;
        line = std::move(shared_->line);
        return Result::Line;
    }

private:
    struct Shared {
        std::mutex mutex;
        std::condition_variable changed;
        bool wanted = false, ready = false, ended = false;
        std::string line;
    };

    static void readLines(Shared& s) {
        for (;;) {
            {
                std::unique_lock lock(s.mutex);
                s.changed.wait(lock, [&] { return s.wanted; });
                s.wanted = false;
            }
            std::string line;
            bool ended = false;
            for (;;) {
                char c = 0;
                if (ReadInputByte(c) <= 0) {
                    ended = line.empty();
                    break;
                }
                if (c == '\n') break;
                line += c;
            }
            std::lock_guard lock(s.mutex);
            s.line = std::move(line);
            s.ended = ended;
            s.ready = true;
            s.changed.notify_all();
            if (ended) return;
        }
    }

    std::shared_ptr<Shared> shared_ = std::make_shared<Shared>();
    bool thread_ = false;
};

// The user's answer to the question between devices.
enum class Answer { Next, Stop, Other };

Answer answerOf(std::string line) {
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
        line.pop_back();
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.erase(line.begin());
    for (auto& c : line) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (line.empty()) return Answer::Next;
    if (line == "q" || line == "quit" || line == "n") return Answer::Stop;
    return Answer::Other;
}

SeriesOptions seriesOptions(const Options& o) { return {o.serial, o.serialFile, o.report, o.repeat}; }

// The series on the command line: the log and the device's errors through the output, the
// next device at the user's Enter on standard input.
class CliSeriesHost : public SeriesHost {
public:
    CliSeriesHost(CliOutput& out, const std::atomic<bool>& stop,
                  std::function<int()> programOne)
        : out_(out), stop_(stop), programOne_(std::move(programOne)) {}

    void AddLogLine(const std::string& text, int kind) override { out_.AddLogLine(text, kind); }
    int errorCount() const override { return out_.errorCount(); }
    int programOne() override {
        out_.beginDevice();
        return programOne_();
    }
    int deviceErrorCount() const override { return out_.deviceErrorCount(); }
    std::string deviceFirstError() const override { return out_.deviceFirstError(); }
    bool nextDevice() override {
        out_.endProgress();
        DropTypedAhead();
        for (;;) {
            out_.prompt(kNextDevicePrompt);
            std::string answer;
            if (input_.next(answer, stop_) != LineReader::Result::Line) return false;
            switch (answerOf(answer)) {
                case Answer::Next: return true;
                case Answer::Stop: return false;
                case Answer::Other: out_.AddLogLine(kNotAnAnswer, LogNotice); break;
            }
        }
    }

private:
    CliOutput& out_;
    const std::atomic<bool>& stop_;
    std::function<int()> programOne_;
    LineReader input_;
};

}  // namespace

bool IsProductionRun(const Options& o) {
    return o.command == "program" && (o.serial || o.report || o.repeat);
}

int PrepareProduction(const Options& o, const SupportedDeviceList& devices, Production& run,
                      CliOutput& out, const std::atomic<bool>& stop) {
    CliSeriesHost host(out, stop, [] { return 0; });
    if (jqz::PrepareProduction(seriesOptions(o), devices, run, host, stop)) return kSuccess;
    // A stop while another run held a file ends the run as a stop during a device does.
    return run.interrupted ? kOperationFailed : kUsage;
}

int ProgramSeries(const Options& o, const SupportedDeviceList& devices, Production& run,
                  MemoryImage& image, CliOutput& out, const std::atomic<bool>& stop,
                  const std::function<int()>& programOne) {
    CliSeriesHost host(out, stop, programOne);
    return jqz::ProgramSeries(seriesOptions(o), devices, run, image, host, stop)
               ? kSuccess
               : kOperationFailed;
}

}  // namespace jqz::cli
