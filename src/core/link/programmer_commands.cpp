// The programmer's command set: byte layouts, checks, time-outs and status texts.
#include <chrono>
#include <thread>
#include <vector>

#include "core/link/io_dll_r_w.h"

namespace jqz {

namespace {

constexpr std::uint8_t inv(unsigned x) { return static_cast<std::uint8_t>(~x & 0xFF); }
constexpr std::uint8_t hi(int address) { return static_cast<std::uint8_t>((address >> 8) & 0xFF); }
constexpr std::uint8_t lo(int address) { return static_cast<std::uint8_t>(address & 0xFF); }

constexpr const char* kStatusTexts[24] = {
    "",
    "Error: Power Supply voltage grater",
    "Error: Power Supply voltage lower",
    "Error: Overcurrent protection",
    "Error: WRONG SUBROUTINE CALL",
    "PC too Programmer Communication Error",
    "Error: WRONG DEVICE TYPE",
    "Error: No ECLK Pulse Detected. Check EXTAL Pin connection.",
    "Error: Wrong Adapter Selected",
    "Error: External Power Supply Present",
    "",  // 10: the pin-tester report
    "Error: No Echo from MCU",
    "Error: Monitor Check sum Error",
    "Error: Programmer to MCU Communication error",
    "Error: Programming/Erasing Error",
    "Error: Device Still Secured",
    "Error: Reset Pin 'Low'",
    "Error: Reset Pin 'High'",
    "Error: External Reset Occurs",
    "Error: MODA Pin 'High'",
    "Error: MODB Pin 'High'",
    "Error: Pintester Error: RxD Pin",
    "Error: Pintester Error: TxD Pin",
    "Error: MCU Bus Frequency too Low",
};

constexpr const char* kControlPins[8] = {"ECLK", "ADDR0", "RESET", "MODA",
                                         "MODB", "RxD",   "TxD",   "EXTAL"};

constexpr int kShortTimeout = 2;
constexpr int kLongTimeout = 30;

std::string hex2(std::uint8_t v) {
    static constexpr char digits[] = "0123456789ABCDEF";
    return {digits[v >> 4], digits[v & 15]};
}

}  // namespace

std::string StatusText(int code) {
    if (code >= 0 && code < 24) return kStatusTexts[code];
    return "Unknoun Error";
}

std::string PinTesterText(std::uint8_t dataPins, std::uint8_t controlPins) {
    std::string text;
    for (int i = 0; i < 8; ++i)
        if (dataPins & (1u << i)) text += "DATA" + std::to_string(i) + " ";
    for (int i = 0; i < 8; ++i)
        if (controlPins & (1u << i)) text += std::string(kControlPins[i]) + " ";
    return text;
}

std::uint8_t ProgrammerBaudCode(int rate) {
    switch (rate) {
        case 19200: return 51;
        case 38400: return 25;
        case 57600: return 16;
        default: return 0;
    }
}

void IO_DLL_R_W::beginCommand(int seconds) {
    SetTimeouts(seconds);
    PurgeInput();
}

bool IO_DLL_R_W::exchange(const std::uint8_t* request, std::size_t count, std::uint8_t* reply,
                          std::size_t replyCount) {
    return WriteBytes(request, count) && ReadBytes(reply, replyCount);
}

void IO_DLL_R_W::ReadStatus() {
    const std::uint8_t request = 0x02;
    std::uint8_t reply[2] = {0, 0};
    if (!exchange(&request, 1, reply, 2)) return;
    if (reply[0] != inv(reply[1])) {
        lastError_ = kCommunicationError;
        return;
    }
    if (reply[0] == 0)
        lastError_.clear();
    else if (reply[0] == 10)
        ReadPinTesterReport();
    else
        lastError_ = StatusText(reply[0]);
}

void IO_DLL_R_W::ReadPinTesterReport() {
    const std::uint8_t request = 0x03;
    std::uint8_t reply[3] = {0, 0, 0};
    if (!exchange(&request, 1, reply, 3)) return;
    if (reply[2] != inv(reply[0] + reply[1])) {
        lastError_ = kCommunicationError;
        return;
    }
    lastError_ += PinTesterText(reply[0], reply[1]);
    if (!lastError_.empty())
        lastError_ = "Pure contact on pin(s) or pin(s) damaged: " + lastError_;
    else
        lastError_ = "Unknoun Pin Tester Error";
}

// The status request follows only a request that went out whole: the programmer takes the
// rest of a cut request for its own, and an old status would only hide the failure.
void IO_DLL_R_W::writeThenStatus(const std::uint8_t* request, std::size_t count) {
    if (WriteBytes(request, count)) ReadStatus();
}

// One write per byte, the check byte last. Once a byte could not go out, the command ends:
// each further byte would only wait out its own time-out.
void IO_DLL_R_W::writeByteWise(const std::uint8_t* request, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i)
        if (!WriteBytes(request + i, 1)) return;
    ReadStatus();
}

void IO_DLL_R_W::SelectDeviceType(std::uint8_t type) {
    beginCommand(kShortTimeout);
    const std::uint8_t request[3] = {0x01, type, inv(type)};
    writeThenStatus(request, 3);
}

void IO_DLL_R_W::SetProgrammerBaud(int rate) {
    const std::uint8_t k = ProgrammerBaudCode(rate);
    if (k == 0) return;
    beginCommand(kShortTimeout);
    const std::uint8_t request[3] = {0x04, k, inv(k)};
    WriteBytes(request, 3);
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    SetBaudRate(rate);
}

// Mode and identification carry no check: a reply that did not arrive in full gives an
// empty text.
std::string IO_DLL_R_W::ReadMode() {
    beginCommand(kShortTimeout);
    const std::uint8_t request = 0x05;
    std::uint8_t reply[8] = {};
    if (!exchange(&request, 1, reply, 8)) return {};
    return std::string(reinterpret_cast<const char*>(reply), 7);
}

std::string IO_DLL_R_W::ReadIdentification() {
    beginCommand(kShortTimeout);
    const std::uint8_t request = 0x06;
    std::uint8_t reply[31] = {};
    if (!exchange(&request, 1, reply, 31)) return {};
    return std::string(reinterpret_cast<const char*>(reply), 30);
}

std::string IO_DLL_R_W::ReadInterface() {
    beginCommand(kShortTimeout);
    const std::uint8_t request = 0x07;
    std::uint8_t reply = 0;
    if (!exchange(&request, 1, &reply, 1)) return {};
    switch (reply) {
        case 0xA5: return kInCircuitInterface;
        case 0xAA: return std::string(kOnBoardInterface) + "Device not Secured.";
        case 0x5A: return std::string(kOnBoardInterface) + "Device Secured.";
        default: lastError_ = kCommunicationError; return {};
    }
}

void IO_DLL_R_W::SetPinTesterOptions(std::uint8_t flags) {
    beginCommand(kShortTimeout);
    const std::uint8_t request[3] = {0x08, flags, inv(flags)};
    writeThenStatus(request, 3);
}

void IO_DLL_R_W::PowerOff() {
    beginCommand(kShortTimeout);
    const std::uint8_t request[11] = {0x09, 'P', 'O', 'W', 'E', 'R', ' ', 'O', 'F', 'F', 0x00};
    writeThenStatus(request, sizeof request);
}

std::uint8_t IO_DLL_R_W::ReadByte(int address) {
    beginCommand(kShortTimeout);
    const std::uint8_t request[4] = {0x10, hi(address), lo(address), inv(hi(address) + lo(address))};
    std::uint8_t reply[2] = {0, 0};
    if (!exchange(request, 4, reply, 2)) return 0;
    if (reply[0] != inv(reply[1])) {
        lastError_ = kCommunicationError;
        return 0;
    }
    ReadStatus();
    return reply[0];
}

void IO_DLL_R_W::ReadBlock(int address, std::uint8_t* buffer) {
    beginCommand(kLongTimeout);
    buffer[0] = 0x11;
    buffer[1] = hi(address);
    buffer[2] = lo(address);
    buffer[3] = inv(buffer[1] + buffer[2]);
    // A short reply leaves older bytes in the buffer (the last block's check byte among
    // them), which must not be checked as if they had come now.
    if (!exchange(buffer, 4, buffer, 129)) return;
    unsigned sum = 0;
    for (int i = 0; i < 128; ++i) sum += buffer[i];
    if (buffer[128] != inv(sum)) {
        lastError_ = kCommunicationError;
        return;
    }
    ReadStatus();
}

void IO_DLL_R_W::WriteByte(int address, std::uint8_t value) {
    beginCommand(kShortTimeout);
    const std::uint8_t request[5] = {0x12, hi(address), lo(address), value,
                                     inv(hi(address) + lo(address) + value)};
    writeByteWise(request, 5);
}

void IO_DLL_R_W::WriteBlock(int address, const std::uint8_t* data) {
    beginCommand(kLongTimeout);
    std::uint8_t request[132];
    request[0] = 0x13;
    request[1] = hi(address);
    request[2] = lo(address);
    unsigned sum = request[1] + request[2];
    for (int i = 0; i < 128; ++i) {
        request[3 + i] = data[i];
        sum += data[i];
    }
    request[131] = inv(sum);
    writeByteWise(request, sizeof request);
}

void IO_DLL_R_W::EraseEeprom() {
    beginCommand(kShortTimeout);
    const std::uint8_t request[15] = {0x14, 'E', 'R', 'A', 'S', 'E', ' ', 'E',
                                      'N',  'A', 'B', 'L', 'E', 'D', 0x00};
    writeThenStatus(request, sizeof request);
}

std::string IO_DLL_R_W::ReadDeviceId() {
    beginCommand(kShortTimeout);
    const std::uint8_t request = 0x15;
    std::uint8_t reply[3] = {0, 0, 0};
    if (!exchange(&request, 1, reply, 3)) return {};
    if (reply[2] != inv(reply[0] + reply[1])) {
        lastError_ = kCommunicationError;
        return {};
    }
    if (reply[0] == 0xFF && reply[1] == 0xFF) return {};
    return "Device ID:$" + hex2(reply[0]) + " $" + hex2(reply[1]);
}

void IO_DLL_R_W::LinkDevice() {
    beginCommand(kLongTimeout);
    const std::uint8_t request[2] = {0x16, 0xE9};
    writeThenStatus(request, 2);
}

}  // namespace jqz
