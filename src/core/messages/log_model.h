#pragma once
// The log: every result the user needs to see, one line each, with a kind that decides its
// colour. Lines are appended at once under a lock, so a worker's line is in the log when
// AddLogLine returns; observers hear of it from the appending thread.
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace jqz {

enum LogKind : int { LogInfo = 0, LogNotice = 1, LogError = 2 };

struct ChecksumReport;

class LogSink {
public:
    virtual ~LogSink() = default;
    virtual void AddLogLine(const std::string& text, int kind) = 0;
    // The figures of an address range: an information line with the report's text, unless
    // the sink gives them a form of their own. (Defined beside the report, in
    // core/image/checksum.cpp: the log knows nothing of images.)
    virtual void AddChecksumLine(const ChecksumReport& report);
};

class LogModel : public LogSink {
public:
    // Stored lines are the kind character followed by the text.
    void AddLogLine(const std::string& text, int kind) override;

    std::size_t count() const;
    // Removes every line (the user's Clear); lines appended later start again at index 0.
    void clear();
    std::string storedLine(std::size_t index) const;
    std::vector<std::string> storedLines() const;

    // The kind of a stored line from its first character; anything unknown is LogInfo.
    static int KindOf(const std::string& stored);
    // The text as the list shows it: the kind character replaced by a blank.
    static std::string DisplayText(const std::string& stored);

    // Called after each append with the new line's index, on the appending thread.
    void setAppendHandler(std::function<void(std::size_t)> handler);

    // The log file's contents: the header line, then every line without its kind, CR LF ends.
    std::string FileText(const std::string& header) const;

private:
    mutable std::mutex mutex_;
    std::vector<std::string> lines_;
    std::function<void(std::size_t)> onAppend_;
};

inline constexpr const char* kLogFileName = "6811prog.log";

// The log file goes beside the program when the program lies in a folder of the user's own (a
// build tree, a folder the user unpacked it into). An installed program, and one in a folder
// that another user owns or that cannot be written, keeps it in the user's folder, so that
// nothing of the user's is left among the system's files. On Windows it always goes to the
// user's folder, as Windows programs keep their state in %APPDATA%.
std::string ChooseLogFilePath(const std::string& programFolder, bool installed,
                              const std::string& userFolder);

// The user's folder for the log file: $XDG_STATE_HOME/jqz6811, else ~/.local/state/jqz6811;
// on Windows %APPDATA%\jqz6811, beside the settings.
std::string DefaultLogFolder();

}  // namespace jqz
