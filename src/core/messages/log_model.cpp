#include "core/messages/log_model.h"

#include "core/platform/folders.h"
#include "core/platform/native_file.h"

#include <cstdlib>

namespace jqz {

void LogModel::clear() {
    std::lock_guard lock(mutex_);
    lines_.clear();
}

void LogModel::AddLogLine(const std::string& text, int kind) {
    const char prefix = kind == LogNotice ? '1' : kind == LogError ? '2' : '0';
    std::function<void(std::size_t)> handler;
    std::size_t index;
    {
        std::lock_guard lock(mutex_);
        lines_.push_back(prefix + text);
        index = lines_.size() - 1;
        handler = onAppend_;
    }
    if (handler) handler(index);
}

std::size_t LogModel::count() const {
    std::lock_guard lock(mutex_);
    return lines_.size();
}

std::string LogModel::storedLine(std::size_t index) const {
    std::lock_guard lock(mutex_);
    return index < lines_.size() ? lines_[index] : std::string{};
}

std::vector<std::string> LogModel::storedLines() const {
    std::lock_guard lock(mutex_);
    return lines_;
}

int LogModel::KindOf(const std::string& stored) {
    if (stored.empty()) return LogInfo;
    switch (stored[0]) {
        case '1': return LogNotice;
        case '2': return LogError;
        default: return LogInfo;
    }
}

std::string LogModel::DisplayText(const std::string& stored) {
    if (stored.empty()) return " ";
    return " " + stored.substr(1);
}

void LogModel::setAppendHandler(std::function<void(std::size_t)> handler) {
    std::lock_guard lock(mutex_);
    onAppend_ = std::move(handler);
}

std::string LogModel::FileText(const std::string& header) const {
    std::string out = header + "\r\n";
    for (const auto& line : storedLines()) out += (line.empty() ? line : line.substr(1)) + "\r\n";
    return out;
}

std::string ChooseLogFilePath(const std::string& programFolder, bool installed,
                              const std::string& userFolder) {
    auto join = [](std::string folder) {
        if (!folder.empty() && folder.back() != '/' && folder.back() != '\\') folder += kFolderSeparator;
        return folder + kLogFileName;
    };
    if (!installed && StateMayGoBesideProgram(programFolder)) return join(programFolder);
    return join(userFolder);
}

std::string DefaultLogFolder() { return StateFolder(); }

}  // namespace jqz
