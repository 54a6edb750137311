// The instruction table against the GNU disassembler: every opcode of every page, written
// with operand bytes into a binary and disassembled by m68hc11-objdump, has the table's
// length and mnemonic; and what the table does not know, the disassembler does not either.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "sim/hc11/opcodes.h"

namespace jqz::sim::hc11 {
namespace {

constexpr int kSlot = 8;  // bytes per opcode in the binary: the instruction, then NOPs

struct Decoded {
    int length = 0;
    std::string mnemonic;
};

// Runs the disassembler on a binary: offset -> length and mnemonic of the instruction there.
std::map<int, Decoded> disassemble(const std::vector<std::uint8_t>& bytes) {
    const std::string path = ::testing::TempDir() + "hc11_opcodes.bin";
    {
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    const std::string command =
        std::string(JQZ_M68HC11_OBJDUMP) + " -D -b binary -m m68hc11 " + path + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    std::map<int, Decoded> result;
    if (!pipe) return result;
    std::string text;
    char buffer[4096];
    while (std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) text.append(buffer, n);
    pclose(pipe);
    std::istringstream lines(text);
    std::string line;
    int last = -1;
    while (std::getline(lines, line)) {
        // "   1e:\t18 1e 10 10 \tbrset\t..." and, for long instructions, "   22:\t10 ".
        const auto colon = line.find(":\t");
        if (colon == std::string::npos) continue;
        int offset = 0;
        try {
            offset = std::stoi(line.substr(0, colon), nullptr, 16);
        } catch (...) {
            continue;
        }
        const std::string rest = line.substr(colon + 2);
        const auto tab = rest.find('\t');
        std::istringstream hex(rest.substr(0, tab));
        std::string byte;
        int count = 0;
        while (hex >> byte) ++count;
        if (tab == std::string::npos) {
            if (last >= 0) result[last].length += count;
            continue;
        }
        std::string mnemonic = rest.substr(tab + 1);
        mnemonic = mnemonic.substr(0, mnemonic.find_first_of("\t "));
        result[offset] = Decoded{count, mnemonic};
        last = offset;
    }
    return result;
}

TEST(Hc11Decoder, EveryOpcodeMatchesTheDisassembler) {
    struct Slot {
        int page;
        int opcode;
    };
    std::vector<Slot> slots;
    std::vector<std::uint8_t> bytes;
    for (int page = 0; page < 4; ++page) {
        for (int opcode = 0; opcode < 256; ++opcode) {
            if (page == 0 && (opcode == 0x18 || opcode == 0x1A || opcode == 0xCD)) continue;
            const OpInfo& info = opInfo(page, static_cast<std::uint8_t>(opcode));
            std::vector<std::uint8_t> slot;
            if (page != 0) slot.push_back(pagePrebyte(page));
            slot.push_back(static_cast<std::uint8_t>(opcode));
            while (static_cast<int>(slot.size()) < info.length) slot.push_back(0x10);
            slot.resize(kSlot, 0x01);
            bytes.insert(bytes.end(), slot.begin(), slot.end());
            slots.push_back(Slot{page, opcode});
        }
    }
    const std::map<int, Decoded> decoded = disassemble(bytes);
    ASSERT_FALSE(decoded.empty()) << "the disassembler gave nothing";
    int known = 0;
    for (std::size_t i = 0; i < slots.size(); ++i) {
        const Slot& s = slots[i];
        const OpInfo& info = opInfo(s.page, static_cast<std::uint8_t>(s.opcode));
        SCOPED_TRACE(::testing::Message() << "page " << s.page << " opcode 0x" << std::hex << s.opcode);
        const auto it = decoded.find(static_cast<int>(i) * kSlot);
        ASSERT_NE(it, decoded.end());
        if (info.mnemonic == nullptr) {
            EXPECT_EQ(it->second.mnemonic, ".byte");
            continue;
        }
        ++known;
        // The disassembler calls TEST (0x00, test modes only) by the 68HC12's name.
        const std::string expected = info.op == Op::TEST ? "bgnd" : info.mnemonic;
        EXPECT_EQ(it->second.mnemonic, expected);
        EXPECT_EQ(it->second.length, info.length);
    }
    EXPECT_EQ(known, opcodeCount());
    // 307 opcodes and TEST.
    EXPECT_EQ(opcodeCount(), 308);
}

}  // namespace
}  // namespace jqz::sim::hc11
