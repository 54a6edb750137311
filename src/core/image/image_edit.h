#pragma once
// A user command's change of the image, made under the image's edit lock: refused with the
// busy message while a device read holds the image.
#include <utility>

#include "core/messages/message_sink.h"
#include "core/image/editor_messages.h"
#include "core/image/memory_image.h"

namespace jqz {

// The check before a command reads its fields: true (after the busy message) while a device
// read holds the image. The change itself still goes through EditUnlessRead.
inline bool RefuseWhileRead(const MemoryImage& image, MessageSink& sink) {
    if (!image.IsHeldByRead()) return false;
    sink.showError(kImageBusyMessage);
    return true;
}

// Runs change() with the image locked for edits and returns true; when a device read holds
// the image, changes nothing, shows the busy message (after the lock is let go) and returns
// false.
template <typename Change>
bool EditUnlessRead(MemoryImage& image, MessageSink& sink, Change&& change) {
    {
        const MemoryImage::EditLock edit = image.LockForEdit();
        if (edit) {
            std::forward<Change>(change)();
            return true;
        }
    }
    sink.showError(kImageBusyMessage);
    return false;
}

// The editor options' Apply: the new fonts and colours recolour the whole image.
inline bool ApplyAppearanceUnlessRead(MemoryImage& image, const EditorAppearance& appearance,
                                      MessageSink& sink) {
    return EditUnlessRead(image, sink, [&] { image.ApplyAppearance(appearance); });
}

}  // namespace jqz
