#include "core/link/bootstrap_link.h"

#include <algorithm>

#include "core/link/talker_image.h"

namespace jqz {

BootstrapLink::BootstrapLink(SerialPort& port, BootPart part, BootLinkOptions options)
    : port_(port),
      part_(std::move(part)),
      options_(options),
      baud_(BootBaudRate(options.xtalMHz, options.rate)) {}

std::vector<std::uint8_t> BootstrapLink::DownloadImage(const BootPart& part, double xtalMHz) {
    const auto talker = TalkerImage();
    std::vector<std::uint8_t> image(talker.begin(), talker.end());
    const std::uint16_t count = TalkerDelayCount(xtalMHz);
    image[kTalkerLayout.delayCountOffset] = static_cast<std::uint8_t>(count >> 8);
    image[kTalkerLayout.delayCountOffset + 1] = static_cast<std::uint8_t>(count & 0xFF);
    if (part.fixedLengthDownload) image.resize(static_cast<std::size_t>(part.ramBytes), 0x00);
    return image;
}

bool BootstrapLink::fail(std::string text) {
    error_ = std::move(text);
    return false;
}

std::string BootstrapLink::checkAdvice() const {
    return "Check that MODA and MODB are held low, that the board was reset" +
           std::string(options_.reset == BootReset::None ? "" : " (the reset line's wiring)") +
           ", the crystal (" + XtalText(options_.xtalMHz) + " MHz" + " given), the rate (" +
           std::to_string(baud_) + " baud) and the cable (TxD, RxD and ground).";
}

std::size_t BootstrapLink::readFor(std::uint8_t* data, std::size_t count,
                                   long long microseconds) {
    PortTimeouts t;
    t.readTotalMs = static_cast<int>(std::max(1LL, (microseconds + 999) / 1000));
    t.writeTotalMs = 2000;
    port_.setTimeouts(t);
    return port_.read(data, count);
}

bool BootstrapLink::resetPart() {
    const auto pulse = [this](bool (SerialPort::*line)(bool)) {
        if (!(port_.*line)(true)) return false;
        std::uint8_t scratch[64];
        readFor(scratch, sizeof scratch, 20'000);  // held in reset for 20 ms
        return (port_.*line)(false);
    };
    if (options_.reset == BootReset::Dtr && !pulse(&SerialPort::setDtr))
        return fail("The port could not drive DTR to reset the board.");
    if (options_.reset == BootReset::Rts && !pulse(&SerialPort::setRts))
        return fail("The port could not drive RTS to reset the board.");
    // The boot ROM sends a break as it starts; it and any noise before the sync go. By hand,
    // the user's reset is waited for as long as the options say. A secured part's boot ROM
    // first sends $FF, then erases its EEPROM, RAM and CONFIG (two erase pulses of 10 to 20 ms
    // and the RAM), and only then its break: after a $FF the sync waits for that break, since
    // a download sent into the erase would be lost.
    std::uint8_t scratch[64];
    bool erasing = false;
    const auto note = [&](std::size_t n) {
        for (std::size_t i = 0; i < n; ++i) {
            if (scratch[i] == 0xFF) erasing = true;
            if (scratch[i] == 0x00) erasing = false;
        }
        return n;
    };
    if (options_.reset == BootReset::None && options_.breakWaitMs > 0)
        note(readFor(scratch, 1, options_.breakWaitMs * 1000LL));
    const long long quiet = std::max(10'000LL, 2 * CharacterMicroseconds(baud_));
    constexpr long long kSecurityEraseMicroseconds = 500'000;
    // While it erases, one character at a time: the break ends the wait as it comes.
    while (erasing ? note(readFor(scratch, 1, kSecurityEraseMicroseconds)) > 0
                   : note(readFor(scratch, sizeof scratch, quiet)) > 0) {
    }
    port_.purge(PURGE_RXCLEAR | PURGE_RXABORT);
    return true;
}

bool BootstrapLink::download() {
    const auto image = DownloadImage(part_, options_.xtalMHz);
    if (image.size() > static_cast<std::size_t>(part_.ramBytes))
        return fail("The talker does not fit in the part's RAM.");
    std::vector<std::uint8_t> out;
    out.reserve(image.size() + 1);
    out.push_back(0xFF);  // the sync: the boot ROM takes the rate from it and does not echo it
    out.insert(out.end(), image.begin(), image.end());
    PortTimeouts t;
    t.writeTotalMs = static_cast<int>(CharacterMicroseconds(baud_) * out.size() / 1000 + 2000);
    port_.setTimeouts(t);
    if (port_.write(out.data(), out.size()) != out.size())
        return fail("The port did not send the talker. Check the cable and the port.");
    std::vector<std::uint8_t> echo(image.size());
    const long long wire = CharacterMicroseconds(baud_) * static_cast<long long>(out.size());
    const std::size_t got = readFor(echo.data(), echo.size(), wire * 3 / 2 + 300'000);
    if (got == 0) return fail("No echo from the HC11's boot ROM. " + checkAdvice());
    for (std::size_t i = 0; i < got; ++i) {
        if (echo[i] != image[i])
            return fail("The boot ROM echoed byte " + std::to_string(i + 1) + " of the talker as " +
                        HexByteText(echo[i]) + " instead of " + HexByteText(image[i]) +
                        ": the line garbles data. " + checkAdvice());
    }
    // Some adapters lose the last echo; the talker's CRC of itself below stands for it.
    if (got + 1 < image.size())
        return fail("The boot ROM echoed " + std::to_string(got) + " of the talker's " +
                    std::to_string(image.size()) + " bytes. " + checkAdvice());
    if (!part_.fixedLengthDownload) {
        // The E family starts the talker once the line has been idle four characters long.
        std::uint8_t stray = 0;
        // The last echo came a character after the last byte: five more and a little.
        if (readFor(&stray, 1, CharacterMicroseconds(baud_) * 5 + 2'000) != 0)
            return fail("The boot ROM sent " + HexByteText(stray) + " after the talker's echoes. " +
                        checkAdvice());
    }
    return true;
}

bool BootstrapLink::Start(bool securedConfirmed) {
    if (part_.secured && !securedConfirmed)
        return fail("Entering bootstrap mode erases this part's EEPROM and CONFIG: nothing was "
                    "sent. Confirm that it may be erased (--secured-ok) to go on.");
    LineSettings s;
    s.baudRate = baud_;
    s.dtrEnable = options_.reset != BootReset::Dtr;  // a reset line rests inactive
    s.rtsEnable = options_.reset != BootReset::Rts;
    if (!port_.setSettings(s))
        return fail("The port does not take " + std::to_string(baud_) + " baud.");
    if (!resetPart() || !download()) return false;
    // The talker's CRC of its own bytes, its identity and version among them, proves that
    // this talker runs and took every byte (the last echo included, which some adapters lose).
    const auto image = DownloadImage(part_, options_.xtalMHz);
    const auto length = TalkerImage().size();
    std::vector<std::uint16_t> crc;
    if (!Crc(0x0000, 1, static_cast<int>(length), crc)) return false;
    if (crc[0] != Crc16Ccitt(std::span(image).first(length)))
        return fail("The talker in the part's RAM differs from the one sent. " + checkAdvice());
    return true;
}

bool BootstrapLink::transact(const TalkerFrame& frame, std::vector<std::uint8_t>& data,
                             int busyMs) {
    const std::size_t expected = TalkerReplyDataLength(frame, kTalkerLayout.identLength);
    PortTimeouts t;
    t.writeTotalMs = 2000;
    port_.setTimeouts(t);
    if (port_.write(frame.data(), frame.size()) != frame.size())
        return fail("The port did not send the command. Check the cable.");
    std::vector<std::uint8_t> reply(expected + 2);
    const long long wire =
        CharacterMicroseconds(baud_) * static_cast<long long>(frame.size() + reply.size());
    std::size_t got = readFor(reply.data(), reply.size(), wire * 3 / 2 + busyMs * 1000LL + 300'000);
    // A rejection is one byte: take it as it is rather than as a short answer.
    reply.resize(got);
    const auto checked = CheckTalkerReply(frame, expected, reply);
    if (!checked.ok)
        return fail(checked.error + " Check the cable, then reset the board and start again.");
    data = checked.data;
    return true;
}

bool BootstrapLink::Identity(std::string& text) {
    std::vector<std::uint8_t> data;
    if (!transact(MakeTalkerFrame(talker::kIdentity, 0, 0, 0), data, 0)) return false;
    text.assign(data.begin(), data.end());
    return true;
}

bool BootstrapLink::Read(std::uint16_t address, std::span<std::uint8_t> out) {
    std::size_t done = 0;
    while (done < out.size()) {
        const std::size_t n = std::min<std::size_t>(256, out.size() - done);
        std::vector<std::uint8_t> data;
        const auto at = static_cast<std::uint16_t>(address + done);
        if (!transact(MakeTalkerFrame(talker::kRead, at, static_cast<std::uint8_t>(n & 0xFF), 0),
                      data, 0))
            return false;
        std::copy(data.begin(), data.end(), out.begin() + static_cast<std::ptrdiff_t>(done));
        done += n;
    }
    return true;
}

bool BootstrapLink::Crc(std::uint16_t address, int blocks, int blockSize,
                        std::vector<std::uint16_t>& out) {
    out.clear();
    while (blocks > 0) {
        const int n = std::min(blocks, 256);
        std::vector<std::uint8_t> data;
        // About 150 E cycles a byte.
        const double e = options_.xtalMHz * 1e6 / 4.0;
        const int busyMs = static_cast<int>(n * blockSize * 150.0 / e * 1000.0) + 1;
        if (!transact(MakeTalkerFrame(talker::kCrc, address, static_cast<std::uint8_t>(n & 0xFF),
                                      static_cast<std::uint8_t>(blockSize & 0xFF)),
                      data, busyMs))
            return false;
        for (std::size_t i = 0; i + 1 < data.size(); i += 2)
            out.push_back(static_cast<std::uint16_t>(data[i] << 8 | data[i + 1]));
        blocks -= n;
        address = static_cast<std::uint16_t>(address + n * blockSize);
    }
    return true;
}

bool BootstrapLink::EepromCycle(std::uint16_t address, std::uint8_t data, std::uint8_t mode,
                                std::uint8_t& readBack) {
    std::vector<std::uint8_t> reply;
    const int pulseMs =
        (options_.xtalMHz >= 8.0 ? 11 : 22) * (mode & talker::kEraseFirst ? 2 : 1);
    if (!transact(MakeTalkerFrame(talker::kEepromCycle, address, data, mode), reply, pulseMs))
        return false;
    readBack = reply[0];
    return true;
}

bool BootstrapLink::ClearBprot() {
    if (!part_.hasBprot) return true;
    std::vector<std::uint8_t> reply;
    if (!transact(MakeTalkerFrame(talker::kStore, kBprotAddress, 0x00, 0), reply, 0))
        return false;
    if ((reply[0] & 0x1F) != 0)
        return fail("BPROT stays " + HexByteText(reply[0]) +
                    " after clearing: the part is not in bootstrap mode.");
    return true;
}

}  // namespace jqz
