#pragma once
// The system clipboard as the editor uses it: plain text in and out. The user interface
// supplies it; tests replace it with a recorder.
#include <string>

namespace jqz {

class Clipboard {
public:
    virtual ~Clipboard() = default;
    virtual void putText(const std::string& text) = 0;
    // The clipboard's plain text, empty when it holds none.
    virtual std::string getText() = 0;
};

}  // namespace jqz
