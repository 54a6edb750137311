#include "core/link/talker_protocol.h"

#include <cstdio>

namespace jqz {

TalkerFrame MakeTalkerFrame(std::uint8_t command, std::uint16_t address, std::uint8_t p1,
                            std::uint8_t p2) {
    TalkerFrame f{command, static_cast<std::uint8_t>(address >> 8),
                  static_cast<std::uint8_t>(address & 0xFF), p1, p2, 0};
    std::uint8_t sum = 0;
    for (std::size_t i = 0; i < 5; ++i) sum = static_cast<std::uint8_t>(sum + f[i]);
    f[5] = static_cast<std::uint8_t>(talker::kFrameSum - sum);
    return f;
}

std::size_t TalkerReplyDataLength(const TalkerFrame& frame, std::size_t identityLength) {
    const auto count = [](std::uint8_t n) -> std::size_t { return n == 0 ? 256 : n; };
    switch (frame[0]) {
        case talker::kIdentity: return identityLength;
        case talker::kRead: return count(frame[3]);
        case talker::kCrc: return 2 * count(frame[3]);
        default: return 1;  // the byte read back
    }
}

std::string HexByteText(unsigned v) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", v & 0xFFu);
    return text;
}

TalkerReply CheckTalkerReply(const TalkerFrame& frame, std::size_t expectedData,
                             std::span<const std::uint8_t> received) {
    TalkerReply reply;
    const std::size_t whole = expectedData + 2;
    if (received.empty()) {
        reply.error = "The talker does not answer.";
        return reply;
    }
    if (received[0] == talker::kRejected && received.size() == 1) {
        reply.error = "The talker received a damaged command (its checksum failed).";
        return reply;
    }
    if (received[0] != frame[0]) {
        reply.error = "The talker answered " + HexByteText(received[0]) + " instead of " +
                      HexByteText(frame[0]) + ".";
        return reply;
    }
    if (received.size() < whole) {
        reply.error = "The talker's answer stopped after " + std::to_string(received.size()) +
                      " of " + std::to_string(whole) + " bytes.";
        return reply;
    }
    if (received.size() > whole) {
        reply.error = "The talker sent more than its answer.";
        return reply;
    }
    std::uint8_t sum = talker::kFrameSum;
    for (std::size_t i = 0; i + 1 < whole; ++i) sum = static_cast<std::uint8_t>(sum + received[i]);
    if (sum != received[whole - 1]) {
        reply.error = "The talker's answer failed its checksum.";
        return reply;
    }
    reply.ok = true;
    reply.data.assign(received.begin() + 1, received.begin() + 1 + expectedData);
    return reply;
}

std::uint16_t Crc16Ccitt(std::span<const std::uint8_t> bytes) {
    std::uint16_t crc = 0xFFFF;
    for (std::uint8_t b : bytes) {
        crc = static_cast<std::uint16_t>(crc ^ (b << 8));
        for (int i = 0; i < 8; ++i)
            crc = static_cast<std::uint16_t>((crc & 0x8000) ? (crc << 1) ^ 0x1021 : crc << 1);
    }
    return crc;
}

}  // namespace jqz
