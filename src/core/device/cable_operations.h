#pragma once
// The program, verify and read work over the bootstrap cable, on a started BootstrapLink.
// Verification compares CRC-16s that the talker computes over the part's cells with the
// host's own over the image (2 bytes a block on the wire instead of the block itself); a
// block that differs is read back to name the first cell that does not match. Every byte
// programmed is also read back by its own command.
#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "core/link/bootstrap_link.h"

namespace jqz {

// The smart write's account.
struct CableWriteReport {
    int cells = 0;
    int alreadyRight = 0;
    int programmed = 0;        // by clearing bits
    int erased = 0;            // byte erase only (the value is 0xFF)
    int erasedProgrammed = 0;  // byte erase, then program
    bool bulkErase = false;
    bool verified = false;

    // "512 bytes: 480 already right, 30 programmed, 2 erased and programmed; verified"
    std::string text() const;
};

// Called after each step with the cells done and the cells in all.
using CableProgress = std::function<void(int done, int total)>;
// Asked between steps: true ends the write ("Stopped." as its error).
using CableStop = std::function<bool()>;
inline constexpr const char* kCableStopped = "Stopped.";

// Writes `wanted` from `start` (EEPROM or CONFIG) with the smart write, then verifies it.
// wholeArray: the range is the part's whole EEPROM, so that a bulk erase may be used. False
// with error set on any failure; the report then holds what was done, not verified.
bool CableProgram(BootstrapLink& link, std::uint16_t start, std::span<const std::uint8_t> wanted,
                  bool wholeArray, CableWriteReport& report, std::string& error,
                  const CableProgress& progress = {}, const CableStop& stopped = {});

// Compares the part's cells from `start` with `wanted` by CRC; error names the first
// difference.
bool CableVerify(BootstrapLink& link, std::uint16_t start, std::span<const std::uint8_t> wanted,
                 std::string& error);

// The CRC-16s of blocks of blockSize bytes over [start, start + count) (the last one shorter).
bool CableBlockCrcs(BootstrapLink& link, std::uint16_t start, int count, int blockSize,
                    std::vector<std::uint16_t>& out);

}  // namespace jqz
