#pragma once
// The parts and boot ROM rates every bootstrap cable test goes through.
#include "core/link/boot_part.h"

namespace jqz {

struct PartRate {
    const char* device;  // the catalogue row
    const char* model;   // the HC11 model's part
    BootRate rate;
};

inline constexpr PartRate kPartsAndRates[] = {
    {"MC68HC11  A8 (AB95T)", "A8", BootRate::Fast},
    {"MC68HC11  A8 (AB95T)", "A8", BootRate::Slow1200},
    {"MC68HC11  E9 (E28B)", "E9", BootRate::Fast},
    {"MC68HC11  E9 (E28B)", "E9", BootRate::Slow1200},
    {"MC68HC11  E20(3E22B)", "E20", BootRate::Fast},
    {"MC68HC11  E20(3E22B)", "E20", BootRate::Slow1200},
};

}  // namespace jqz
