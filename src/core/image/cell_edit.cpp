#include "core/image/cell_edit.h"

#include "core/messages/message_sink.h"

#include "core/image/editor_messages.h"
#include "core/image/hex_edit_model.h"
#include "core/image/image_edit.h"
#include "core/image/number_parsers.h"

namespace jqz {

CellEditValues CellValuesOnShow(const HexEditModel& model, const std::string& address) {
    const long long a = ImageDescription::ParseRowAddress(address);
    CellEditValues v;
    v.data = "0x" + HexText(model.image.ReadData(a), 2);
    v.colour = ColorToColorIndex(model.image.CellColor(a));
    v.readOnly = model.image.IsReadOnly(a);
    return v;
}

std::optional<CellEditValues> CellValuesFor(const HexEditModel& model, const std::string& address) {
    if (!MemoryImage::Contains(ImageDescription::ParseRowAddress(address))) return std::nullopt;
    return CellValuesOnShow(model, address);
}

bool CellEditOk(HexEditModel& model, int row, const CellEditInput& input, MessageSink& sink) {
    if (RefuseWhileRead(model.image, sink)) return false;
    const int a = ParseNumber(input.address, sink);
    if (a < 0) return false;
    if (a > MemoryImage::LastAddress()) {
        sink.showError(kTooBigAddressMessage);
        return false;
    }
    const int v = ParseNumber(input.data, sink);
    if (v < 0) return false;
    return EditUnlessRead(model.image, sink, [&] {
        ImageDescription::Row described = model.description.row(row);
        described.addressText = input.address;
        model.description.setRow(row, described);
        model.image.SetReadOnly(a, false);
        model.image.WriteData(a, static_cast<std::uint8_t>(v & 0xFF));
        if (input.readOnly) model.image.SetReadOnly(a, true);
        model.image.SetCellColor(a, ColorIndexToColor(input.colour));
        described.comment = input.comment;
        model.description.setRow(row, described);
    });
}

}  // namespace jqz
