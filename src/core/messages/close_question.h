#pragma once
// Whether the main window may close, or a change of device reset the image: unsaved work is
// offered for saving first.
#include <functional>

#include "core/messages/message_sink.h"

namespace jqz {

inline constexpr const char* kCloseQuestion = "Save buffer to file ?";

// With the buffer saved and the image unmodified the window closes without a question. Otherwise
// the user is asked (Yes, No, Cancel): No closes, Cancel stays; Yes runs `save` and closes
// only when it returns true, so a save cancelled or failed never loses the edits.
bool MayClose(bool bufferSaved, bool imageUnmodified, MessageSink& messages,
              const std::function<bool()>& save);

}  // namespace jqz
