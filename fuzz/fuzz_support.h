#pragma once
// What the reader fuzz targets share: a log that drops its lines, and a model reused from
// input to input.
#include <array>
#include <bitset>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "core/messages/log_model.h"
#include "core/files/image_files.h"
#include "core/image/hex_edit_model.h"

namespace jqz::fuzz {

class NullLog : public LogSink {
public:
    void AddLogLine(const std::string&, int) override {}
};

// Only the first 4 KiB of the image take data, which keeps the whole-image passes of the
// checks few: what is read, written and read again is still every kind of record.
inline constexpr long long kLast = 0x0FFF;

// An editor model made once and used for every input, in bulk mode all along (as a load holds
// it). A load first clears the description and puts back the cells that the last load wrote or
// described, as they were when the model was new; `touched` are the cells either of the last
// loads wrote, the only ones that can differ. (A new 64 KiB model for each read, and the end
// of bulk mode after it, each a pass over every cell, held the targets to a few dozen inputs a
// second.)
class ReusedModel {
public:
    ReusedModel() : model_(std::make_unique<HexEditModel>()) {
        for (int a = 0; a <= kLast; ++a) {
            data_[static_cast<std::size_t>(a)] = model_->image.ReadData(a);
            attributes_[static_cast<std::size_t>(a)] = model_->image.ReadAttribute(a);
        }
        model_->image.BeginBulk();
    }
    HexEditModel& operator*() { return *model_; }
    HexEditModel* operator->() { return model_.get(); }
    const std::bitset<0x10000>& written() const { return counts_.placedCells; }

    template <typename Reader>
    void load(std::string_view text, Reader read) {
        NullLog log;
        HexEditModel& m = *model_;
        for (int i = 0; i < m.description.rowCount(); ++i)
            restore(m.description.getRow(i).address);
        m.description.clear();
        const auto& cells = counts_.placedCells;
        for (std::size_t a = cells._Find_first(); a < cells.size(); a = cells._Find_next(a))
            restore(static_cast<long long>(a));
        counts_ = read(text, Placement{0, kLast, 0}, m.image, m.description, log);
    }

private:
    void restore(long long a) {
        if (a < 0 || a > kLast) return;
        model_->image.WriteAttribute(a, attributes_[static_cast<std::size_t>(a)]);
        model_->image.WriteData(a, data_[static_cast<std::size_t>(a)]);
    }

    std::unique_ptr<HexEditModel> model_;
    std::array<std::uint8_t, kLast + 1> data_{};
    std::array<std::uint8_t, kLast + 1> attributes_{};
    PlacementCounts counts_;
};

// The range of the cells a model's last load wrote (empty when none): what a writer is given,
// so that it does not scan cells that cannot hold anything.
inline WriteRange writtenRange(const ReusedModel& m, bool saveUnimplemented) {
    const auto& cells = m.written();
    const std::size_t first = cells._Find_first();
    if (first >= cells.size()) return {1, 0, saveUnimplemented};
    std::size_t last = first;
    for (std::size_t a = first; a < cells.size(); a = cells._Find_next(a)) last = a;
    return {static_cast<long long>(first), static_cast<long long>(last), saveUnimplemented};
}

// Calls check(a) for every cell that either model's last load wrote.
template <typename Check>
void forTouched(const ReusedModel& first, const ReusedModel& second, Check check) {
    const std::bitset<0x10000> cells = first.written() | second.written();
    for (std::size_t a = cells._Find_first(); a < cells.size(); a = cells._Find_next(a))
        check(static_cast<int>(a));
}

}  // namespace jqz::fuzz
