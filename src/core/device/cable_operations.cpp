#include "core/device/cable_operations.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "core/device/smart_write.h"

namespace jqz {

namespace {

std::string hex(unsigned v, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%0*X", digits, v);
    return text;
}

constexpr int kRow = 16;

}  // namespace

std::string CableWriteReport::text() const {
    std::string t = std::to_string(cells) + " bytes: " + std::to_string(alreadyRight) +
                    " already right, " + std::to_string(programmed) + " programmed";
    if (erased) t += ", " + std::to_string(erased) + " erased";
    if (erasedProgrammed) t += ", " + std::to_string(erasedProgrammed) + " erased and programmed";
    if (bulkErase) t += " after a bulk erase";
    t += verified ? "; verified" : "; not verified";
    return t;
}

bool CableBlockCrcs(BootstrapLink& link, std::uint16_t start, int count, int blockSize,
                    std::vector<std::uint16_t>& out) {
    out.clear();
    const int whole = count / blockSize;
    if (whole > 0 && !link.Crc(start, whole, blockSize, out)) return false;
    const int rest = count - whole * blockSize;
    if (rest > 0) {
        std::vector<std::uint16_t> last;
        if (!link.Crc(static_cast<std::uint16_t>(start + whole * blockSize), 1, rest, last))
            return false;
        out.push_back(last[0]);
    }
    return true;
}

bool CableVerify(BootstrapLink& link, std::uint16_t start, std::span<const std::uint8_t> wanted,
                 std::string& error) {
    const int count = static_cast<int>(wanted.size());
    constexpr int kBlock = 256;
    std::vector<std::uint16_t> crcs;
    if (!CableBlockCrcs(link, start, count, kBlock, crcs)) {
        error = link.error();
        return false;
    }
    for (std::size_t b = 0; b < crcs.size(); ++b) {
        const auto block = wanted.subspan(b * kBlock, std::min<std::size_t>(kBlock, wanted.size() - b * kBlock));
        if (crcs[b] == Crc16Ccitt(block)) continue;
        std::vector<std::uint8_t> cells(block.size());
        const auto at = static_cast<std::uint16_t>(start + b * kBlock);
        if (!link.Read(at, cells)) {
            error = link.error();
            return false;
        }
        for (std::size_t i = 0; i < cells.size(); ++i) {
            if (cells[i] != block[i]) {
                error = "Verify failed at " + hex(at + static_cast<unsigned>(i), 4) + ": " +
                        hex(cells[i], 2) + " read, " + hex(block[i], 2) + " expected.";
                return false;
            }
        }
        error = "Verify failed: the part's CRC of " + hex(at, 4) +
                " on differs, but its cells read back as expected. Check the cable.";
        return false;
    }
    return true;
}

bool CableProgram(BootstrapLink& link, std::uint16_t start, std::span<const std::uint8_t> wanted,
                  bool wholeArray, CableWriteReport& report, std::string& error,
                  const CableProgress& progress, const CableStop& stopped) {
    report = CableWriteReport{};
    const int count = static_cast<int>(wanted.size());
    report.cells = count;
    const auto linkFailed = [&] {
        error = link.error();
        return false;
    };
    // (The talker cleared BPROT as it started.)
    // What the cells hold: rows whose CRC matches the image's are taken as right; the others
    // are read, runs of neighbouring rows in one read.
    std::vector<std::uint16_t> crcs;
    if (!CableBlockCrcs(link, start, count, kRow, crcs)) return linkFailed();
    std::vector<std::uint8_t> current(wanted.begin(), wanted.end());
    std::size_t row = 0;
    while (row < crcs.size()) {
        const auto rowCells = [&](std::size_t r) {
            return wanted.subspan(r * kRow, std::min<std::size_t>(kRow, wanted.size() - r * kRow));
        };
        if (crcs[row] == Crc16Ccitt(rowCells(row))) {
            ++row;
            continue;
        }
        std::size_t end = row + 1;
        while (end < crcs.size() && crcs[end] != Crc16Ccitt(rowCells(end))) ++end;
        const std::size_t from = row * kRow;
        const std::size_t to = std::min<std::size_t>(end * kRow, wanted.size());
        if (!link.Read(static_cast<std::uint16_t>(start + from),
                       std::span(current).subspan(from, to - from)))
            return linkFailed();
        row = end;
    }
    const WritePlan plan = PlanEepromWrite(current, wanted, wholeArray);
    int done = 0;
    const auto cycle = [&](std::size_t i, std::uint8_t data, std::uint8_t mode,
                           std::uint8_t expect) {
        if (stopped && stopped()) {
            error = kCableStopped;
            return false;
        }
        std::uint8_t back = 0;
        const auto address = static_cast<std::uint16_t>(start + i);
        if (!link.EepromCycle(address, data, mode, back)) return linkFailed();
        if (back != expect) {
            error = "The EEPROM cell at " + hex(address, 4) + " reads " + hex(back, 2) +
                    " after " + (mode & talker::kErase ? "erasing" : "programming") + " (" +
                    hex(expect, 2) + " expected): the cell does not take the value.";
            return false;
        }
        return true;
    };
    if (plan.bulkErase) {
        if (!cycle(0, 0xFF, talker::kErase, 0xFF)) return false;
        report.bulkErase = true;
    }
    for (std::size_t i = 0; i < plan.actions.size(); ++i) {
        const std::uint8_t w = wanted[i];
        switch (plan.actions[i]) {
            case CellAction::Skip:
                if (plan.bulkErase && current[i] != w) ++report.erased;
                else ++report.alreadyRight;
                break;
            case CellAction::Program:
                if (!cycle(i, w, 0, w)) return false;
                ++report.programmed;
                break;
            case CellAction::Erase:
                if (!cycle(i, 0xFF, talker::kByte | talker::kErase, 0xFF)) return false;
                ++report.erased;
                break;
            case CellAction::EraseProgram:
                if (!cycle(i, w, talker::kEraseFirst, w)) return false;
                ++report.erasedProgrammed;
                break;
        }
        if (progress && plan.actions[i] != CellAction::Skip) progress(++done, count);
    }
    if (stopped && stopped()) {
        error = kCableStopped;
        return false;
    }
    if (!CableVerify(link, start, wanted, error)) return false;
    report.verified = true;
    if (progress) progress(count, count);
    return true;
}

}  // namespace jqz
