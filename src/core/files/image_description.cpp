#include "core/files/image_description.h"

#include <cstdlib>

#include "core/image/memory_image.h"
#include "core/image/number_parsers.h"

namespace jqz {

ImageDescription::ImageDescription(MemoryImage& image) : image_(image) { rows_.push_back(Row{}); }

void ImageDescription::clear() {
    {
        std::lock_guard lock(mutex_);
        setRowCount(1);
        rows_[0] = Row{};
        projectName_.clear();
        deviceName_.clear();
        notes_.clear();
    }
    namesChanged();
}

bool ImageDescription::isEmpty() const {
    std::lock_guard lock(mutex_);
    return rows_.size() == 1 && rows_[0].addressText == "0x0000" && rows_[0].comment.empty() &&
           !image_.IsReadOnly(0);
}

std::string ImageDescription::projectName() const {
    std::lock_guard lock(mutex_);
    return projectName_;
}

void ImageDescription::setProjectName(const std::string& text) {
    {
        std::lock_guard lock(mutex_);
        projectName_ = text;
    }
    namesChanged();
}

std::string ImageDescription::deviceName() const {
    std::lock_guard lock(mutex_);
    return deviceName_;
}

void ImageDescription::setDeviceName(const std::string& text) {
    {
        std::lock_guard lock(mutex_);
        deviceName_ = text;
    }
    namesChanged();
}

std::string ImageDescription::notes() const {
    std::lock_guard lock(mutex_);
    return notes_;
}

void ImageDescription::setNotes(const std::string& text) {
    std::lock_guard lock(mutex_);
    notes_ = text;
}

int ImageDescription::rowCount() const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(rows_.size());
}

void ImageDescription::setRowCount(int n) {
    std::lock_guard lock(mutex_);
    if (n < 1) n = 1;
    while (static_cast<int>(rows_.size()) > n) {
        dropped_.push_back(rows_.back());
        rows_.pop_back();
    }
    while (static_cast<int>(rows_.size()) < n) appendRowLocked();
}

void ImageDescription::appendRowLocked() {
    Row row;
    if (!dropped_.empty()) {
        row.comment = dropped_.back().comment;
        if (IsCellAddressText(dropped_.back().addressText))
            row.addressText = dropped_.back().addressText;
        dropped_.pop_back();
    }
    rows_.push_back(row);
}

long long ImageDescription::ParseRowAddress(const std::string& text) {
    std::string_view t = text;
    int base = 10;
    if (t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) {
        t.remove_prefix(2);
        base = 16;
    } else if (t.size() > 1 && t[0] == '$') {
        t.remove_prefix(1);
        base = 16;
    }
    if (t.empty() || t.size() > 8) return -1;
    long long value = 0;
    for (char c : t) {
        int d;
        if (c >= '0' && c <= '9') d = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f') d = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F') d = c - 'A' + 10;
        else return -1;
        value = value * base + d;
    }
    return value;
}

ProjCell ImageDescription::getRow(int index) const {
    std::lock_guard lock(mutex_);
    ProjCell cell;
    if (index < 0 || index >= static_cast<int>(rows_.size())) return cell;
    const Row& row = rows_[static_cast<std::size_t>(index)];
    const long long address = ParseRowAddress(row.addressText);
    cell.address = static_cast<int>(address);
    cell.comment = row.comment;
    cell.readOnly = image_.IsReadOnly(address);
    cell.colour = ColorToColorIndex(image_.CellColor(address));
    return cell;
}

void ImageDescription::putRow(int index, const ProjCell& cell) {
    std::lock_guard lock(mutex_);
    if (index < 0) return;
    if (index != 0) appendRowLocked();
    if (index >= static_cast<int>(rows_.size())) return;
    Row& row = rows_[static_cast<std::size_t>(index)];
    row.addressText = AddressText(cell.address);
    row.comment = cell.comment;
    image_.SetReadOnly(cell.address, cell.readOnly);
    image_.SetCellColor(cell.address, ColorIndexToColor(cell.colour));
}

void ImageDescription::AddRow() {
    std::lock_guard lock(mutex_);
    appendRowLocked();
}

void ImageDescription::DeleteRow() {
    std::lock_guard lock(mutex_);
    if (rows_.size() > 1) {
        dropped_.push_back(rows_.back());
        rows_.pop_back();
    }
}

ImageDescription::Row ImageDescription::row(int index) const {
    std::lock_guard lock(mutex_);
    if (index < 0 || index >= static_cast<int>(rows_.size())) return {};
    return rows_[static_cast<std::size_t>(index)];
}

void ImageDescription::setRow(int index, const Row& row) {
    std::lock_guard lock(mutex_);
    if (index >= 0 && index < static_cast<int>(rows_.size()))
        rows_[static_cast<std::size_t>(index)] = row;
}

void ImageDescription::setNamesChangedHandler(std::function<void()> handler) {
    std::lock_guard lock(mutex_);
    namesChanged_ = std::move(handler);
}

void ImageDescription::namesChanged() {
    std::function<void()> handler;
    {
        std::lock_guard lock(mutex_);
        handler = namesChanged_;
    }
    if (handler) handler();
}

}  // namespace jqz
