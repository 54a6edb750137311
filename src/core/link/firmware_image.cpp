#include "core/link/firmware_image.h"

#include <cstring>
#include <span>

#include "core/image/checksum.h"

namespace jqz {

std::vector<std::uint8_t> BuildFirmwareImage(const std::string& version,
                                             const std::vector<std::uint8_t>& body) {
    if (version.size() > 8 || body.size() > static_cast<std::size_t>(kFirmwareMaxBody)) return {};
    std::vector<std::uint8_t> payload(kFirmwarePayloadSize, 0xFF);
    std::memcpy(payload.data(), "JQZF", 4);
    std::fill(payload.begin() + 4, payload.begin() + 12, 0);
    std::memcpy(payload.data() + 4, version.data(), version.size());
    payload[12] = static_cast<std::uint8_t>(body.size() >> 8);
    payload[13] = static_cast<std::uint8_t>(body.size());
    const std::uint32_t crc = Crc32(body);
    for (int i = 0; i < 4; ++i) payload[14 + i] = static_cast<std::uint8_t>(crc >> (24 - 8 * i));
    std::copy(body.begin(), body.end(), payload.begin() + kFirmwareHeaderSize);

    std::vector<std::uint8_t> image(kFirmwareImageSize);
    for (int n = 0; n < kFirmwareBlockCount; ++n) {
        std::uint8_t* block = image.data() + n * kFirmwareBlockSize;
        block[0] = static_cast<std::uint8_t>(n);
        std::memcpy(block + 1, payload.data() + n * kFirmwarePayloadPerBlock,
                    kFirmwarePayloadPerBlock);
        unsigned sum = 0;
        for (int i = 0; i < kFirmwareBlockSize - 1; ++i) sum += block[i];
        block[kFirmwareBlockSize - 1] = static_cast<std::uint8_t>(~sum);
    }
    return image;
}

const std::vector<std::uint8_t>& CurrentFirmwareImage() {
    static const std::vector<std::uint8_t> image = [] {
        // The body is the programmer's own code; the loader treats it as opaque bytes.
        std::vector<std::uint8_t> body(9984);
        std::uint32_t x = 0x6811u;
        for (auto& b : body) {
            x = x * 1103515245u + 12345u;
            b = static_cast<std::uint8_t>(x >> 16);
        }
        return BuildFirmwareImage(kFirmwareVersion, body);
    }();
    return image;
}

bool FirmwareBlockValid(const std::uint8_t* block, int index) {
    if (block[0] != static_cast<std::uint8_t>(index)) return false;
    unsigned sum = 0;
    for (int i = 0; i < kFirmwareBlockSize - 1; ++i) sum += block[i];
    return block[kFirmwareBlockSize - 1] == static_cast<std::uint8_t>(~sum);
}

std::optional<std::string> FirmwareImageVersion(const std::vector<std::uint8_t>& image) {
    if (image.size() != static_cast<std::size_t>(kFirmwareImageSize)) return std::nullopt;
    std::vector<std::uint8_t> payload;
    payload.reserve(kFirmwarePayloadSize);
    for (int n = 0; n < kFirmwareBlockCount; ++n) {
        const std::uint8_t* block = image.data() + n * kFirmwareBlockSize;
        if (!FirmwareBlockValid(block, n)) return std::nullopt;
        payload.insert(payload.end(), block + 1, block + 1 + kFirmwarePayloadPerBlock);
    }
    if (std::memcmp(payload.data(), "JQZF", 4) != 0) return std::nullopt;
    const std::size_t length = (std::size_t{payload[12]} << 8) | payload[13];
    if (length > static_cast<std::size_t>(kFirmwareMaxBody)) return std::nullopt;
    std::uint32_t crc = 0;
    for (int i = 0; i < 4; ++i) crc = (crc << 8) | payload[14 + i];
    if (Crc32(std::span(payload.data() + kFirmwareHeaderSize, length)) != crc) return std::nullopt;
    std::string version(reinterpret_cast<const char*>(payload.data() + 4), 8);
    version.resize(version.find('\0') == std::string::npos ? 8 : version.find('\0'));
    return version;
}

}  // namespace jqz
