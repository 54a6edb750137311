#include "core/messages/close_question.h"

namespace jqz {

bool MayClose(bool bufferSaved, bool imageUnmodified, MessageSink& messages,
              const std::function<bool()>& save) {
    if (bufferSaved && imageUnmodified) return true;
    switch (messages.askConfirmation(kCloseQuestion, QuestionButtons::YesNoCancel)) {
        case Answer::Yes: return save && save();
        case Answer::No: return true;
        default: return false;
    }
}

}  // namespace jqz
