#pragma once
// Pin-out drawings of chip packages: the outline seen from the top, the pin 1 mark, every pin
// numbered and, where a checked pin table exists, named by its signal.
#include <string>
#include <vector>

#include "emf_canvas.h"
#include "pin_tables.h"

namespace jqz::tools {

enum class PackageKind { Plcc, Qfp, Dip };

struct PackageDrawing {
    const char* file;      // the file name the catalogue uses
    PackageKind kind;
    int pinCount;
    const char* devices;   // the parts the drawing is for, e.g. "MC68HC11A8"
    const char* package;   // e.g. "52-pin PLCC"
    const PinTable* table; // nullptr: pins numbered only
};

// The words drawn where no checked pin table exists.
inline constexpr const char* kSeeDataSheet = "Pin assignment: see the device data sheet";

enum class Side { Left, Bottom, Right, Top };

// Where pin `number` sits: its side and its place along that side (0 = the first place
// counted from the top-left corner going counter-clockwise: down the left side, right along
// the bottom, up the right side, left along the top).
struct PinPlace {
    int number;
    Side side;
    int index;
};

// The pins of a package in counter-clockwise order seen from the top: a PLCC starts in the
// middle of the top side, a QFP at the top of the left side, a DIP at the top of the left
// row and comes back up the right row.
std::vector<PinPlace> PlacePins(PackageKind kind, int pinCount);

// All drawings the application's catalogue names.
const std::vector<PackageDrawing>& AllPackageDrawings();

std::vector<char> DrawPackage(const PackageDrawing& drawing);

}  // namespace jqz::tools
