#pragma once
// Message boxes for the core's errors and questions.
#include <QWidget>

#include "core/app/message_sink.h"

namespace jqz {

class QtMessageSink : public MessageSink {
public:
    explicit QtMessageSink(QWidget* parent = nullptr) : parent_(parent) {}
    void showError(const std::string& text) override;
    Answer askQuestion(const std::string& text, QuestionButtons buttons) override;
    void showConfirmation(const std::string& text) override;

private:
    QWidget* parent_;
};

}  // namespace jqz
