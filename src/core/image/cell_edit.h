#pragma once
// The Edit Cell dialog's rules: one described cell's address and comment in the description,
// and its data byte, colour and access in the image. Nothing of it is recorded for Undo.
#include <optional>
#include <string>

namespace jqz {

class HexEditModel;
class MessageSink;

// What the dialog shows of an image cell.
struct CellEditValues {
    std::string data;      // "0x" and two upper-case hexadecimal digits
    int colour = 0;        // palette index
    bool readOnly = false;
};

// The cell named by an address text, when the text converts to an address of the image
// (the reload while the address is being typed).
std::optional<CellEditValues> CellValuesFor(const HexEditModel& model, const std::string& address);
// What the dialog shows when it opens on a row: the values of the cell the row names, and for
// an address beyond the image what the image gives there (data 0x00, colour 0, read-only).
CellEditValues CellValuesOnShow(const HexEditModel& model, const std::string& address);

struct CellEditInput {
    std::string address;
    std::string data;
    std::string comment;
    int colour = 0;
    bool readOnly = false;
};

// OK for description row `row`: false (after the message, if any) when the address or data
// is refused, or while a device read holds the image (with the busy message); otherwise the
// row and the cell are updated.
bool CellEditOk(HexEditModel& model, int row, const CellEditInput& input, MessageSink& sink);

}  // namespace jqz
