#pragma once
// Small recorders and helpers shared by the core tests.
#include <stdlib.h>

#include <filesystem>
#include <string>
#include <vector>

#include "core/app/message_sink.h"
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
class TempDir {
public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "jqzXXXXXX").string();
        path_ = ::mkdtemp(pattern.data());
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    std::string path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

}  // namespace jqz::test
