#pragma once
// Message boxes for the core's errors and questions.
#include <QWidget>

#include "core/messages/message_sink.h"

namespace jqz {

// The program's name, the title of its message boxes.
inline constexpr const char* kProgramTitle = "JQZ 68(7)11 Programmer";

class QtMessageSink : public MessageSink {
public:
    explicit QtMessageSink(QWidget* parent = nullptr) : parent_(parent) {}
    void showError(const std::string& text) override;
    Answer askQuestion(const std::string& text, QuestionButtons buttons) override;
    void showConfirmation(const std::string& text) override;
    Answer askConfirmation(const std::string& text, QuestionButtons buttons) override;

private:
    QWidget* parent_;
};

}  // namespace jqz
