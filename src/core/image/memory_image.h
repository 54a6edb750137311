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
    void WriteData(long long a, std::uint8_t v);
    std::uint8_t ReadAttribute(long long a) const;
    void WriteAttribute(long long a, std::uint8_t v);
    Rgb CellColor(long long a) const;
    void SetCellColor(long long a, Rgb colour);
    bool IsReadOnly(long long a) const;
    void SetReadOnly(long long a, bool flag);
    bool IsUnimplemented(long long a) const;
    void SetUnimplemented(long long a, bool flag);

    void BeginBulk();
    void EndBulk();
    bool IsBulk() const { return bulk_.load(std::memory_order_relaxed); }
    bool IsUndoEmpty() const;

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
