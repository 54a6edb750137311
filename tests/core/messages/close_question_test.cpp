// The close question: what each answer and each outcome of the save lets through.
#include <gtest/gtest.h>

#include "core/messages/close_question.h"
#include "test_support.h"

namespace jqz {
namespace {

// Records which kind of box asked, so the question box is told from a warning.
class BoxRecorder : public test::RecordingSink {
public:
    Answer askConfirmation(const std::string& text, QuestionButtons buttons) override {
        confirmationQuestions.push_back(text);
        this->buttons = buttons;
        return answer;
    }
    std::vector<std::string> confirmationQuestions;
    QuestionButtons buttons = QuestionButtons::YesNo;
};

TEST(CloseQuestion, AnswersAndSaveOutcomes) {
    struct Case {
        const char* what;
        bool saved, undoEmpty;
        Answer answer;
        bool saveSucceeds;
        bool asked, saveRuns, closes;
    };
    const Case cases[] = {
        {"saved, nothing to undo", true, true, Answer::Cancel, false, false, false, true},
        {"unsaved read: No", false, true, Answer::No, false, true, false, true},
        {"an edit to undo: No", true, false, Answer::No, false, true, false, true},
        {"Cancel stays", false, false, Answer::Cancel, true, true, false, false},
        {"Yes, saved", false, false, Answer::Yes, true, true, true, true},
        {"Yes, save cancelled or failed: stays", false, false, Answer::Yes, false, true, true,
         false},
        {"Yes after a read, save cancelled: stays", false, true, Answer::Yes, false, true, true,
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        BoxRecorder sink;
        sink.answer = c.answer;
        int saves = 0;
        const bool closes = MayClose(c.saved, c.undoEmpty, sink, [&] {
            ++saves;
            return c.saveSucceeds;
        });
        EXPECT_EQ(closes, c.closes);
        EXPECT_EQ(saves, c.saveRuns ? 1 : 0);
        EXPECT_TRUE(sink.questions.empty()) << "not a warning";
        EXPECT_EQ(sink.confirmationQuestions,
                  c.asked ? std::vector<std::string>{"Save buffer to file ?"} : std::vector<std::string>{});
        if (c.asked) {
            EXPECT_EQ(sink.buttons, QuestionButtons::YesNoCancel);
        }
    }
}

TEST(CloseQuestion, YesWithoutASaveCommandStays) {
    test::RecordingSink sink;
    sink.answer = Answer::Yes;
    EXPECT_FALSE(MayClose(false, false, sink, {}));
}

}  // namespace
}  // namespace jqz
