#include "core/image/stack_container.h"

#include "core/image/memory_image.h"

namespace jqz {

namespace {

std::uint64_t packRecord(long long address, std::uint8_t attribute, std::uint8_t data) {
    return (static_cast<std::uint64_t>(address & 0xFFFFFFFF) << 16) |
           (std::uint64_t{attribute} << 8) | data;
}

}  // namespace

StackContainer::StackContainer(MemoryImage& image)
    : image_(image),
      capacity_(MemoryImage::LastAddress()),
      records_(std::make_unique<std::array<std::uint64_t, kRingSize>>()),
      steps_(std::make_unique<std::array<std::uint64_t, kRingSize>>()) {}

void StackContainer::BeginGroup() {
    std::lock_guard lock(mutex_);
    inGroup_ = true;
    groupSize_ = 0;
    recordedInGroup_.reset();
}

void StackContainer::Push(long long a) {
    if (a < 0 || a > capacity_) return;
    bool ownGroup = false;
    {
        std::lock_guard lock(mutex_);
        if (!inGroup_) {
            // A record outside a command still becomes a step of its own.
            inGroup_ = true;
            groupSize_ = 0;
            recordedInGroup_.reset();
            ownGroup = true;
        }
        const auto cell = static_cast<std::size_t>(a);
        if (!recordedInGroup_.test(cell)) {
            recordedInGroup_.set(cell);
            (*records_)[recordTop_] = packRecord(a, image_.ReadAttribute(a), image_.ReadData(a));
            ++recordTop_;
            ++groupSize_;
            // The record just written may have been the oldest record of a kept step.
            while (stepsHeld_ > 0 && recordsHeld_ + groupSize_ > kRingSize) dropOldestStepLocked();
        }
    }
    if (ownGroup) EndGroup();
}

void StackContainer::EndGroup() {
    bool available;
    {
        std::lock_guard lock(mutex_);
        if (!inGroup_) return;
        inGroup_ = false;
        if (groupSize_ == 0) return;  // nothing recorded: no step, so Undo always ends
        if (stepsHeld_ == kRingSize) dropOldestStepLocked();
        (*steps_)[stepTop_] = static_cast<std::uint64_t>(groupSize_);
        ++stepTop_;
        ++stepsHeld_;
        recordsHeld_ += groupSize_;
        groupSize_ = 0;
        available = true;
    }
    notify(available);
}

void StackContainer::dropOldestStepLocked() {
    const auto oldest = static_cast<std::uint16_t>(stepTop_ - stepsHeld_);
    recordsHeld_ -= static_cast<int>((*steps_)[oldest]);
    --stepsHeld_;
}

int StackContainer::Undo() {
    int address = -1;
    bool available;
    {
        std::lock_guard lock(mutex_);
        if (stepsHeld_ == 0 || inGroup_) return -1;
        --stepTop_;
        const int n = static_cast<int>((*steps_)[stepTop_]);
        --stepsHeld_;
        recordsHeld_ -= n;
        for (int i = 0; i < n; ++i) {
            --recordTop_;
            const std::uint64_t record = (*records_)[recordTop_];
            const auto a = static_cast<long long>((record >> 16) & 0xFFFFFFFF);
            image_.WriteData(a, static_cast<std::uint8_t>(record & 0xFF));
            image_.WriteAttribute(a, static_cast<std::uint8_t>((record >> 8) & 0xFF));
            address = static_cast<int>(a);
        }
        available = stepsHeld_ > 0;
    }
    if (!available) notify(false);
    return address;
}

void StackContainer::Clear() {
    {
        std::lock_guard lock(mutex_);
        recordTop_ = 0;
        stepTop_ = 0;
        stepsHeld_ = 0;
        recordsHeld_ = 0;
        groupSize_ = 0;
        recordedInGroup_.reset();
    }
    notify(false);
}

bool StackContainer::IsEmpty() const {
    std::lock_guard lock(mutex_);
    return stepsHeld_ == 0;
}

int StackContainer::stepCount() const {
    std::lock_guard lock(mutex_);
    return stepsHeld_;
}

int StackContainer::recordCount() const {
    std::lock_guard lock(mutex_);
    return recordsHeld_;
}

void StackContainer::setAvailabilityHandler(std::function<void(bool)> handler) {
    std::lock_guard lock(mutex_);
    availabilityHandler_ = std::move(handler);
}

void StackContainer::notify(bool available) {
    std::function<void(bool)> handler;
    {
        std::lock_guard lock(mutex_);
        handler = availabilityHandler_;
    }
    if (handler) handler(available);
}

}  // namespace jqz
