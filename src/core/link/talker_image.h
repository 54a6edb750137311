#pragma once
// The talker's bytes as the boot ROM loads them from 0x0000, assembled at build time from
// talker/talker.s, and the places in them that the host fills in or reads.
#include <cstddef>
#include <cstdint>
#include <span>

namespace jqz {

struct TalkerLayout {
    std::size_t delayCountOffset;  // 16-bit iterations of the 7-cycle programming delay loop
    std::size_t identOffset;       // the identity text
    std::size_t identLength;
};

std::span<const std::uint8_t> TalkerImage();
extern const TalkerLayout kTalkerLayout;

}  // namespace jqz
