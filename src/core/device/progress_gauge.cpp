#include "core/device/progress_gauge.h"

#include <algorithm>

namespace jqz {

int ProgressGauge::maximum() const {
    std::lock_guard lock(mutex_);
    return maximum_;
}

int ProgressGauge::position() const {
    std::lock_guard lock(mutex_);
    return position_;
}

void ProgressGauge::setMaximum(int maximum) {
    std::lock_guard lock(mutex_);
    maximum_ = std::max(0, maximum);
    position_ = std::min(position_, maximum_);
    changed();
}

void ProgressGauge::setPosition(int position) {
    std::lock_guard lock(mutex_);
    position_ = std::clamp(position, 0, maximum_);
    changed();
}

void ProgressGauge::stepBy(int delta) {
    std::lock_guard lock(mutex_);
    position_ = std::clamp(position_ + delta, 0, maximum_);
    changed();
}

void ProgressGauge::stepWrapping(int wrapAt) {
    std::lock_guard lock(mutex_);
    position_ = position_ < wrapAt ? std::min(position_ + 1, maximum_) : 0;
    changed();
}

void ProgressGauge::setChangeHandler(std::function<void(int, int)> handler) {
    std::lock_guard lock(mutex_);
    handler_ = std::move(handler);
}

void ProgressGauge::changed() {
    if (handler_) handler_(maximum_, position_);
}

}  // namespace jqz
