#pragma once
// What the memory image needs of the undo stack: entering bulk mode empties it, and the
// image counts as modified while it holds a step.

namespace jqz {

class UndoHistory {
public:
    virtual ~UndoHistory() = default;
    virtual void clear() = 0;
    virtual bool isEmpty() const = 0;
};

}  // namespace jqz
