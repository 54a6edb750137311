#pragma once
// Recorders and helpers shared by the file format tests.
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "core/platform/atomic_file.h"
#include "core/messages/log_model.h"
#include "core/image/hex_edit_model.h"
#include "core/image/undo_history.h"

namespace jqz::test {

// Every log line with its kind.
class RecordingLog : public LogSink {
public:
    struct Line {
        std::string text;
        int kind;
        friend bool operator==(const Line&, const Line&) = default;
    };
    void AddLogLine(const std::string& text, int kind) override { lines.push_back({text, kind}); }
    std::vector<std::string> texts() const {
        std::vector<std::string> out;
        for (const auto& l : lines) out.push_back(l.text);
        return out;
    }
    std::vector<Line> lines;
};

// An undo stack that only counts its steps.
class CountingUndo : public UndoHistory {
public:
    void clear() override { steps = 0; }
    bool isEmpty() const override { return steps == 0; }
    int steps = 0;
};

// The lines of a text split at CR LF; the text must end with CR LF.
inline std::vector<std::string> CrLfLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t end = text.find("\r\n", at);
        if (end == std::string::npos) {
            lines.push_back(text.substr(at) + "<no CR LF>");
            break;
        }
        lines.push_back(text.substr(at, end - at));
        at = end + 2;
    }
    return lines;
}

inline std::string FileText(const std::string& path) {
    const auto bytes = ReadWholeFile(path);
    return bytes ? *bytes : std::string("<missing>");
}

inline void WriteText(const std::string& path, const std::string& text) {
    (void)WriteFileAtomically(path, text);
}

#ifndef _WIN32
// Runs a shell command: its exit status and what it printed (both streams).
inline std::pair<int, std::string> RunShell(const std::string& command) {
    std::string output;
    FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr) return {-1, "popen failed"};
    char buffer[4096];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) output += buffer;
    return {::pclose(pipe), output};
}
#endif

}  // namespace jqz::test
