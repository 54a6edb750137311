#include "core/image/memory_image.h"

#include <utility>
#include <vector>

#include "core/image/image_description.h"
#include "core/image/undo_history.h"

namespace jqz {

namespace {
constexpr auto kRelaxed = std::memory_order_relaxed;
}

MemoryImage::MemoryImage() {
    for (auto& d : data_) d.store(0x00, kRelaxed);
    for (auto& a : attribute_) a.store(kInitialAttribute, kRelaxed);
    workColor_ = PackRgb(appearance_.WorkColor);
    editedColor_ = PackRgb(appearance_.EditedColor);
    unimplementedColor_ = PackRgb(appearance_.UnimplementedColor);
}

void MemoryImage::setRepaintHandler(std::function<void()> handler) {
    repaintHandler_ = std::move(handler);
}

std::uint8_t MemoryImage::ReadData(long long a) const {
    return Contains(a) ? data_[static_cast<std::size_t>(a)].load(kRelaxed) : 0x00;
}

bool MemoryImage::WriteData(long long a, std::uint8_t v) {
    if (!Contains(a)) return false;
    const bool bulk = IsBulk();
    if (IsReadOnly(a) && !bulk) return false;
    if (IsUnimplemented(a)) return false;
    data_[static_cast<std::size_t>(a)].store(v, kRelaxed);
    if (!bulk) SetCellColor(a, EditedColor());
    return true;
}

std::uint8_t MemoryImage::ReadAttribute(long long a) const {
    return Contains(a) ? attribute_[static_cast<std::size_t>(a)].load(kRelaxed) : 0x00;
}

void MemoryImage::WriteAttribute(long long a, std::uint8_t v) {
    if (Contains(a)) attribute_[static_cast<std::size_t>(a)].store(v, kRelaxed);
}

Rgb MemoryImage::CellColor(long long a) const {
    return Contains(a) ? ColorIndexToColor(ReadAttribute(a) & kColourMask) : Rgb{};
}

void MemoryImage::SetCellColor(long long a, Rgb colour) {
    if (!Contains(a) || IsUnimplemented(a)) return;
    auto& cell = attribute_[static_cast<std::size_t>(a)];
    cell.store(static_cast<std::uint8_t>((cell.load(kRelaxed) & ~kColourMask) |
                                         ColorToColorIndex(colour)),
               kRelaxed);
}

bool MemoryImage::IsReadOnly(long long a) const {
    return !Contains(a) || (ReadAttribute(a) & kReadOnlyBit) != 0;
}

void MemoryImage::SetReadOnly(long long a, bool flag) {
    if (!Contains(a)) return;
    auto& cell = attribute_[static_cast<std::size_t>(a)];
    const std::uint8_t old = cell.load(kRelaxed);
    cell.store(static_cast<std::uint8_t>(flag ? (old | kReadOnlyBit) : (old & ~kReadOnlyBit)),
               kRelaxed);
}

bool MemoryImage::IsUnimplemented(long long a) const {
    return !Contains(a) || (ReadAttribute(a) & kUnimplementedBit) != 0;
}

void MemoryImage::SetUnimplemented(long long a, bool flag) {
    if (!Contains(a)) return;
    auto& cell = attribute_[static_cast<std::size_t>(a)];
    if (flag) {
        SetCellColor(a, UnimplementedColor());
        cell.store(static_cast<std::uint8_t>(cell.load(kRelaxed) | kUnimplementedBit), kRelaxed);
    } else {
        cell.store(static_cast<std::uint8_t>(cell.load(kRelaxed) & ~kUnimplementedBit), kRelaxed);
        SetCellColor(a, WorkColor());
    }
}

template <typename Recolour>
void MemoryImage::recolourKeepingDescription(Recolour&& recolour) {
    if (description_ == nullptr)
        recolour();
    else
        description_->keepRowsAround(recolour);
}

void MemoryImage::BeginBulk(BulkOwner owner) {
    std::unique_lock<std::mutex> edit;
    if (owner == BulkOwner::DeviceRead) edit = std::unique_lock(editMutex_);
    {
        std::lock_guard lock(bulkMutex_);
        ++holds_[static_cast<int>(owner)];
        bulk_.store(true, kRelaxed);
        if (owner == BulkOwner::DeviceRead) readHeld_.store(true, kRelaxed);
    }
    if (undo_ != nullptr) undo_->clear();
}

void MemoryImage::EndBulk(BulkOwner owner) {
    // A read's end may recolour the image: not in the middle of a user command.
    std::unique_lock<std::mutex> edit;
    if (owner == BulkOwner::DeviceRead) edit = std::unique_lock(editMutex_);
    {
        std::lock_guard lock(bulkMutex_);
        int& own = holds_[static_cast<int>(owner)];
        if (own > 0) --own;
        else if (holds_[0] + holds_[1] > 0) return;  // someone else's bulk mode
        if (owner == BulkOwner::DeviceRead && own == 0) readHeld_.store(false, kRelaxed);
        if (holds_[0] + holds_[1] > 0) return;
    }
    recolourKeepingDescription([this] {
        const std::uint8_t work = static_cast<std::uint8_t>(ColorToColorIndex(WorkColor()));
        for (auto& cell : attribute_) {
            const std::uint8_t old = cell.load(kRelaxed);
            if ((old & kUnimplementedBit) == 0)
                cell.store(static_cast<std::uint8_t>((old & ~kColourMask) | work), kRelaxed);
        }
    });
    {
        std::lock_guard lock(bulkMutex_);
        if (holds_[0] + holds_[1] == 0) bulk_.store(false, kRelaxed);
    }
    // As the undo stack was emptied, the description as it stands is the unmodified one.
    if (description_ != nullptr) description_->MarkUnmodified();
    repaint();
}

MemoryImage::EditLock MemoryImage::LockForEdit() {
    EditLock edit;
    edit.lock_ = std::unique_lock(editMutex_);
    if (IsHeldByRead()) edit.lock_.unlock();
    return edit;
}

bool MemoryImage::IsUndoEmpty() const { return undo_ == nullptr || undo_->isEmpty(); }

EditorAppearance MemoryImage::GetAppearance() const {
    std::lock_guard lock(appearanceMutex_);
    return appearance_;
}

void MemoryImage::ApplyAppearance(const EditorAppearance& appearance) {
    {
        std::lock_guard lock(appearanceMutex_);
        appearance_ = appearance;
    }
    workColor_ = PackRgb(appearance.WorkColor);
    editedColor_ = PackRgb(appearance.EditedColor);
    unimplementedColor_ = PackRgb(appearance.UnimplementedColor);
    recolourKeepingDescription([this] {
        const auto work = static_cast<std::uint8_t>(ColorToColorIndex(WorkColor()));
        const auto unimpl = static_cast<std::uint8_t>(ColorToColorIndex(UnimplementedColor()));
        for (auto& cell : attribute_) {
            const std::uint8_t old = cell.load(kRelaxed);
            const std::uint8_t colour = (old & kUnimplementedBit) != 0 ? unimpl : work;
            cell.store(static_cast<std::uint8_t>((old & ~kColourMask) | colour), kRelaxed);
        }
    });
    repaint();
}

Rgb MemoryImage::WorkColor() const { return UnpackRgb(workColor_.load(kRelaxed)); }
Rgb MemoryImage::EditedColor() const { return UnpackRgb(editedColor_.load(kRelaxed)); }
Rgb MemoryImage::UnimplementedColor() const {
    return UnpackRgb(unimplementedColor_.load(kRelaxed));
}

void MemoryImage::repaint() {
    if (repaintHandler_) repaintHandler_();
}

}  // namespace jqz
