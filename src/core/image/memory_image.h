#pragma once
// The 64 KiB working image: a data byte and an attribute byte per cell.
//
// Attribute bits 0-5 are the palette index, bit 6 marks a cell that does not exist on the
// selected device, bit 7 a cell the user may not edit. Both arrays are relaxed atomics so that
// the read sequence's worker and the user interface may touch single cells at the same time.
#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>

#include "core/image/editor_appearance.h"
#include "core/image/palette.h"

namespace jqz {

class ImageDescription;
class UndoHistory;

class MemoryImage {
public:
    static constexpr int kCellCount = 0x10000;
    static constexpr std::uint8_t kReadOnlyBit = 0x80;
    static constexpr std::uint8_t kUnimplementedBit = 0x40;
    static constexpr std::uint8_t kColourMask = 0x3F;
    static constexpr std::uint8_t kInitialAttribute = 0x30;

    MemoryImage();
    MemoryImage(const MemoryImage&) = delete;
    MemoryImage& operator=(const MemoryImage&) = delete;

    // Collaborators: the description re-applied by EndBulk and ApplyAppearance, the undo stack
    // emptied by BeginBulk. Either may be absent.
    void setDescription(ImageDescription* description) { description_ = description; }
    void setUndoHistory(UndoHistory* undo) { undo_ = undo; }
    // Called after EndBulk and ApplyAppearance have recoloured the image (from the calling thread).
    void setRepaintHandler(std::function<void()> handler);

    static constexpr int LastAddress() { return kCellCount - 1; }
    static constexpr bool Contains(long long a) { return a >= 0 && a <= LastAddress(); }

    std::uint8_t ReadData(long long a) const;
    // Whether WriteData would store a byte in cell a now.
    bool Accepts(long long a) const { return !IsUnimplemented(a) && (IsBulk() || !IsReadOnly(a)); }
    // True when the byte was stored (see the guarded write's rules).
    bool WriteData(long long a, std::uint8_t v);
    std::uint8_t ReadAttribute(long long a) const;
    void WriteAttribute(long long a, std::uint8_t v);
    Rgb CellColor(long long a) const;
    void SetCellColor(long long a, Rgb colour);
    bool IsReadOnly(long long a) const;
    void SetReadOnly(long long a, bool flag);
    bool IsUnimplemented(long long a) const;
    void SetUnimplemented(long long a, bool flag);

    // Bulk mode belongs to the operations that began it. The user interface's own bulk
    // operations (a load, the end of a save, a device change) begin and end it in one go; a
    // device read holds it from its worker for its whole transfer. Each owner counts its own
    // holds and ends only those; bulk mode ends (cells recoloured, description re-applied) when
    // the last hold is let go. An EndBulk of an owner without a hold recolours the image only
    // when nobody holds bulk mode (a read that ended before its transfer), never someone
    // else's hold.
    enum class BulkOwner : std::uint8_t { Editor, DeviceRead };
    // A device read's BeginBulk waits for a running edit (see EditLock) and from then on every
    // EditLock is refused until the read's EndBulk.
    void BeginBulk(BulkOwner owner = BulkOwner::Editor);
    void EndBulk(BulkOwner owner = BulkOwner::Editor);
    bool IsBulk() const { return bulk_.load(std::memory_order_relaxed); }
    // True from a device read's BeginBulk to its EndBulk.
    bool IsHeldByRead() const { return readHeld_.load(std::memory_order_relaxed); }
    bool IsUndoEmpty() const;

    // Held by a user command for as long as it changes the image. Taking it and finding that
    // no device read holds the image is one step under one lock, so a read's BeginBulk comes
    // either before the command (which is then refused) or after it.
    class EditLock {
    public:
        // False when a device read holds the image: the command must change nothing.
        explicit operator bool() const { return lock_.owns_lock(); }

    private:
        friend class MemoryImage;
        std::unique_lock<std::mutex> lock_;
    };
    // Never hold it while a modal message is shown: a stop of the read waits for the worker,
    // which may wait for this lock.
    [[nodiscard]] EditLock LockForEdit();

    EditorAppearance GetAppearance() const;
    // Stores fonts and colours and recolours every cell; described cells keep theirs.
    void ApplyAppearance(const EditorAppearance& appearance);

    Rgb WorkColor() const;
    Rgb EditedColor() const;
    Rgb UnimplementedColor() const;

private:
    template <typename Recolour>
    void recolourKeepingDescription(Recolour&& recolour);
    void repaint();

    std::array<std::atomic<std::uint8_t>, kCellCount> data_;
    std::array<std::atomic<std::uint8_t>, kCellCount> attribute_;
    std::atomic<bool> bulk_{false};
    std::atomic<bool> readHeld_{false};
    std::mutex editMutex_;  // a user command's change, or a read's begin and end of bulk mode
    std::mutex bulkMutex_;  // the hold counts
    int holds_[2] = {0, 0};  // by BulkOwner

    mutable std::mutex appearanceMutex_;
    EditorAppearance appearance_;
    std::atomic<std::uint32_t> workColor_;
    std::atomic<std::uint32_t> editedColor_;
    std::atomic<std::uint32_t> unimplementedColor_;

    ImageDescription* description_ = nullptr;
    UndoHistory* undo_ = nullptr;
    std::function<void()> repaintHandler_;
};

}  // namespace jqz
