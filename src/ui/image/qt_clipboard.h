#pragma once
// The system clipboard for the editor's commands, as 8-bit text.
#include "core/image/clipboard.h"

namespace jqz {

class QtClipboard : public Clipboard {
public:
    void putText(const std::string& text) override;
    std::string getText() override;
};

}  // namespace jqz
