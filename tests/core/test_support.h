#pragma once
// Small recorders and helpers shared by the core tests.
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "core/messages/message_sink.h"
#include "core/platform/native_file.h"
#include "core/image/clipboard.h"

namespace jqz::test {

// Records every box the core raises and answers questions from a script.
class RecordingSink : public MessageSink {
public:
    void showError(const std::string& text) override { errors.push_back(text); }
    Answer askQuestion(const std::string& text, QuestionButtons) override {
        questions.push_back(text);
        return answer;
    }
    void showConfirmation(const std::string& text) override { confirmations.push_back(text); }
    std::vector<std::string> errors;
    std::vector<std::string> questions;
    std::vector<std::string> confirmations;
    Answer answer = Answer::Yes;
};

// A clipboard that keeps what was put on it.
class RecordingClipboard : public Clipboard {
public:
    void putText(const std::string& t) override {
        text = t;
        ++puts;
    }
    std::string getText() override { return text; }
    std::string text;
    int puts = 0;
};

// A fresh folder removed at the end of the test.
// The port names in an environment variable, separated by blanks: the ports the test entry
// set up (under Wine: tests/register_wine_ports.sh).
inline std::vector<std::string> PortsNamedIn(const char* variable) {
    std::vector<std::string> names;
    const char* value = std::getenv(variable);
    std::string name;
    for (const char* c = value != nullptr ? value : ""; ; ++c) {
        if (*c == ' ' || *c == '\0') {
            if (!name.empty()) names.push_back(name);
            name.clear();
            if (*c == '\0') break;
        } else {
            name += *c;
        }
    }
    return names;
}

class TempDir {
public:
    TempDir() {
        const auto base = std::filesystem::temp_directory_path();
        std::random_device random;
        for (;;) {  // create_directory fails on a name that is taken
            const auto folder = base / ("jqz" + std::to_string(random()));
            std::error_code ec;
            if (std::filesystem::create_directory(folder, ec)) {
                path_ = Utf8Name(folder);
                break;
            }
        }
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(NativePath(path_), ec);
    }
    std::string path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + kFolderSeparator + name; }

private:
    std::string path_;
};

#ifndef _WIN32
// Sets (or, with nullptr, unsets) an environment variable and gives it back its old value.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name); old != nullptr)
            old_ = old;
        set(value);
    }
    ~ScopedEnv() { set(old_ ? old_->c_str() : nullptr); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;
    void set(const char* value) const {
        if (value != nullptr)
            ::setenv(name_.c_str(), value, 1);
        else
            ::unsetenv(name_.c_str());
    }

private:
    std::string name_;
    std::optional<std::string> old_;
};
#endif

}  // namespace jqz::test
