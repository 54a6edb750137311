#pragma once
// Where the command line's log lines, questions and progress go: standard error, as plain
// text with errors marked or as one JSON object per line. The texts are UTF-8; on a Windows
// console they are written as characters (WriteConsoleW), elsewhere as UTF-8 bytes.
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "core/messages/log_model.h"
#include "core/messages/message_sink.h"

namespace jqz::cli {

class CliOutput : public LogSink, public MessageSink {
public:
    CliOutput(std::FILE* out, bool json, bool quiet, bool progressBar);

    void AddLogLine(const std::string& text, int kind) override;
    // As text the report's line; as JSON an information object that also carries the
    // figures as numbers (ChecksumJson).
    void AddChecksumLine(const ChecksumReport& report) override;
    void showError(const std::string& text) override;
    // Questions cannot be asked here: the answer the command line already gave is taken
    // (No unless a command set it) and said as a notice.
    Answer askQuestion(const std::string& text, QuestionButtons buttons) override;
    void setAnswer(Answer answer) { answer_ = answer; }

    // A progress bar on a terminal; nothing otherwise.
    void progress(int position, int maximum);
    void endProgress();

    // The closing object (JSON) or line.
    void result(int exitCode, const std::string& summary);

    // A question to the user at the terminal: shown even with --quiet.
    void prompt(const std::string& text);

    // The errors of one device of a series: counted from the last beginDevice().
    void beginDevice();
    int deviceErrorCount() const;
    std::string deviceFirstError() const;

    int errorCount() const;
    // Whether a line could not be written (a full disk, a closed pipe).
    bool writeFailed() const;
    std::string lastError() const;

    static std::string JsonString(const std::string& text);
    // The fields "text", "range" (unless left out), "first", "last", "sum" and "crc32" of a
    // report, without the braces; the numbers in decimal.
    static std::string ChecksumJson(const ChecksumReport& report, bool withRange = true);
    // A JSON array of strings.
    static std::string JsonArray(const std::vector<std::string>& items);

private:
    void writeLine(const std::string& line);
    void put(const std::string& text);

    std::FILE* out_;
    void* console_;  // Windows: the console handle when out_ writes to one
    bool consoleFailed_ = false;
    bool json_, quiet_, progressBar_;
    mutable std::mutex mutex_;
    Answer answer_ = Answer::No;
    bool barShown_ = false;
    int lastPercent_ = -1;
    int errors_ = 0;
    int deviceErrors_ = 0;
    std::string deviceFirstError_;
    bool lastLineWasError_ = false;
    std::string lastError_;
};

}  // namespace jqz::cli
