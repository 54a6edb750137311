#pragma once
// The editor's undo stack. Before a cell changes, its address, attribute and data byte are
// recorded; the records of one user command form one step, and Undo takes back the newest
// step, newest record first.
//
// Records and step sizes live in two rings of 65,536 entries. A step that records nothing is
// not kept. When new records overwrite records that older steps count on, those older steps
// are dropped, so a step is only ever undone from its own records. Within one step a cell is
// recorded once: its first record holds the state before the step, and later records of the
// same cell could only be overwritten by it on Undo.
#include <array>
#include <bitset>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

#include "core/image/undo_history.h"

namespace jqz {

class MemoryImage;

class StackContainer : public UndoHistory {
public:
    static constexpr int kRingSize = 0x10000;

    explicit StackContainer(MemoryImage& image);
    StackContainer(const StackContainer&) = delete;
    StackContainer& operator=(const StackContainer&) = delete;

    void BeginGroup();
    // Records cell a as it is now; addresses outside the image are not recorded.
    void Push(long long a);
    // Ends the step; a step without records is not kept.
    void EndGroup();
    // Takes back the newest step and returns the address of the last record restored (the
    // first cell the step recorded); -1 when there was nothing to undo.
    int Undo();
    void Clear();
    bool IsEmpty() const;

    // Number of steps kept and records they hold.
    int stepCount() const;
    int recordCount() const;

    // Told whether a step can be undone, after every change of that (from the calling
    // thread: Clear may run on a worker through the image's BeginBulk).
    void setAvailabilityHandler(std::function<void(bool)> handler);

    // UndoHistory
    void clear() override { Clear(); }
    bool isEmpty() const override { return IsEmpty(); }

private:
    void dropOldestStepLocked();
    void notify(bool available);

    MemoryImage& image_;
    const long long capacity_;

    mutable std::mutex mutex_;
    // bits 0-7 data, bits 8-15 attribute, bits 16-47 address
    std::unique_ptr<std::array<std::uint64_t, kRingSize>> records_;
    std::unique_ptr<std::array<std::uint64_t, kRingSize>> steps_;
    std::uint16_t recordTop_ = 0;  // next free record index
    std::uint16_t stepTop_ = 0;    // next free step index
    int stepsHeld_ = 0;            // steps that can be undone
    int recordsHeld_ = 0;          // records those steps hold
    bool inGroup_ = false;
    int groupSize_ = 0;            // records of the open step
    std::bitset<kRingSize> recordedInGroup_;

    std::function<void(bool)> availabilityHandler_;
};

}  // namespace jqz
