#pragma once
// Pin assignments of the MC68HC11 packages, as data. Every table names the public sources it
// was taken from and checked against; a package without such a table is drawn with its pins
// numbered only.
#include <string>
#include <vector>

namespace jqz::tools {

struct PinTable {
    const char* id;
    int pinCount;
    // names[i] is the signal of pin i + 1
    std::vector<std::string> names;
    // Where the assignment comes from, printed under the drawing.
    const char* source;
    // A remark printed under the drawing, or empty.
    const char* note;
};

const PinTable& ESeriesPlcc52();
const PinTable& A8Plcc52();
const PinTable& A8Dip48();
const PinTable& F1Plcc68();

const std::vector<const PinTable*>& AllPinTables();

// Self-check of a table: pin count, no empty or repeated name, supply pins present.
// Returns an empty text when the table is sound.
std::string CheckPinTable(const PinTable& table);

}  // namespace jqz::tools
