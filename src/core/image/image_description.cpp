#include "core/image/image_description.h"

#include "core/image/memory_image.h"
#include "core/image/number_parsers.h"

namespace jqz {

ImageDescription::ImageDescription(MemoryImage& image) : image_(image) { rows_.push_back(Row{}); }

void ImageDescription::clear() {
    {
        std::lock_guard lock(mutex_);
        while (rows_.size() > 1) {
            dropped_.push_back(rows_.back());
            rows_.pop_back();
        }
        rows_[0] = Row{};
        projectName_.clear();
        deviceName_.clear();
        notes_.clear();
    }
    namesChanged();
    changed();
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
    changed();
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
    changed();
}

std::string ImageDescription::notes() const {
    std::lock_guard lock(mutex_);
    return notes_;
}

void ImageDescription::setNotes(const std::string& text) {
    {
        std::lock_guard lock(mutex_);
        notes_ = text;
    }
    changed();
}

int ImageDescription::rowCount() const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(rows_.size());
}

void ImageDescription::setRowCount(int n) {
    {
        std::lock_guard lock(mutex_);
        if (n < 1) n = 1;
        while (static_cast<int>(rows_.size()) > n) {
            dropped_.push_back(rows_.back());
            rows_.pop_back();
        }
        while (static_cast<int>(rows_.size()) < n) appendRowLocked();
    }
    changed();
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
    // The conversion of the dialogs' number fields, so that every address text the Edit Cell
    // dialog accepts reads back as the same cell.
    const auto value = ConvertNumber(text);
    return value && *value >= 0 ? *value : -1;
}

void ImageDescription::keepRowsAround(const std::function<void()>& recolour) {
    const std::lock_guard lock(mutex_);
    std::vector<ProjCell> described;
    const bool keep = !isEmpty();
    if (keep) {
        const int rows = rowCount();
        described.reserve(static_cast<std::size_t>(rows));
        for (int i = 0; i < rows; ++i) described.push_back(getRow(i));
    }
    recolour();
    if (keep) {
        setRowCount(1);
        for (std::size_t i = 0; i < described.size(); ++i) putRow(static_cast<int>(i), described[i]);
    }
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
    {
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
    changed();
}

void ImageDescription::AddRow() {
    {
        std::lock_guard lock(mutex_);
        appendRowLocked();
    }
    changed();
}

void ImageDescription::DeleteRow() {
    {
        std::lock_guard lock(mutex_);
        if (rows_.size() <= 1) return;
        dropped_.push_back(rows_.back());
        rows_.pop_back();
    }
    changed();
}

ImageDescription::Row ImageDescription::row(int index) const {
    std::lock_guard lock(mutex_);
    if (index < 0 || index >= static_cast<int>(rows_.size())) return {};
    return rows_[static_cast<std::size_t>(index)];
}

void ImageDescription::setRow(int index, const Row& row) {
    {
        std::lock_guard lock(mutex_);
        if (index < 0 || index >= static_cast<int>(rows_.size())) return;
        rows_[static_cast<std::size_t>(index)] = row;
    }
    changed();
}

bool ImageDescription::IsModified() const {
    std::lock_guard lock(mutex_);
    return projectName_ != savedProjectName_ || deviceName_ != savedDeviceName_ ||
           notes_ != savedNotes_ || rows_ != savedRows_;
}

void ImageDescription::MarkUnmodified() {
    {
        std::lock_guard lock(mutex_);
        savedProjectName_ = projectName_;
        savedDeviceName_ = deviceName_;
        savedNotes_ = notes_;
        savedRows_ = rows_;
    }
    modifiedMayHaveChanged();
}

void ImageDescription::setModifiedHandler(std::function<void()> handler) {
    std::lock_guard lock(mutex_);
    modifiedHandler_ = std::move(handler);
}

void ImageDescription::setNamesChangedHandler(std::function<void()> handler) {
    std::lock_guard lock(mutex_);
    namesChanged_ = std::move(handler);
}

void ImageDescription::setChangedHandler(std::function<void()> handler) {
    std::lock_guard lock(mutex_);
    changed_ = std::move(handler);
}

void ImageDescription::changed() {
    std::function<void()> handler;
    {
        std::lock_guard lock(mutex_);
        handler = changed_;
    }
    if (handler) handler();
    modifiedMayHaveChanged();
}

void ImageDescription::modifiedMayHaveChanged() {
    std::function<void()> handler;
    {
        std::lock_guard lock(mutex_);
        handler = modifiedHandler_;
    }
    if (handler) handler();
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
