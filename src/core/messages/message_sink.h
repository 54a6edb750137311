#pragma once
// The error boxes and questions that a core rule raises. The user interface answers them
// with message boxes; tests answer them with a recorder.
#include <string>

namespace jqz {

enum class Answer { Ok, Yes, No, Cancel };

enum class QuestionButtons { YesNo, YesNoCancel };

class MessageSink {
public:
    virtual ~MessageSink() = default;
    // An error box with the single button OK.
    virtual void showError(const std::string& text) = 0;
    // A warning box asking a question; returns the button chosen.
    virtual Answer askQuestion(const std::string& text, QuestionButtons buttons) = 0;
    // A question box (question icon) for a plain choice that warns of nothing, such as
    // whether to save before closing. Sinks without their own box ask as above.
    virtual Answer askConfirmation(const std::string& text, QuestionButtons buttons) {
        return askQuestion(text, buttons);
    }
    // A confirmation box (question icon) with the single button OK, for news that is not an
    // error, such as a search that found nothing. Sinks without their own box show an error.
    virtual void showConfirmation(const std::string& text) { showError(text); }
};

}  // namespace jqz
