// The host side of the bootstrap cable takes any bytes as the talker's replies: it never
// reads out of bounds or hangs, a reply it accepts has the length and checksum its command
// asks for, and a write is reported verified only when the replies said every step was right.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "core/device/cable_operations.h"
#include "core/link/bootstrap_link.h"
#include "core/link/talker_protocol.h"

namespace {

// A port whose received bytes are the fuzzer's, handed out in the amounts asked for.
class ScriptedPort : public jqz::SerialPort {
public:
    explicit ScriptedPort(std::span<const std::uint8_t> replies) : replies_(replies) {}
    bool getSettings(jqz::LineSettings& s) override {
        s = settings_;
        return true;
    }
    bool setSettings(const jqz::LineSettings& s) override {
        settings_ = s;
        return true;
    }
    bool setTimeouts(const jqz::PortTimeouts&) override { return true; }
    std::size_t write(const std::uint8_t*, std::size_t count) override { return count; }
    std::size_t read(std::uint8_t* data, std::size_t count) override {
        const std::size_t n = std::min(count, replies_.size());
        std::copy_n(replies_.begin(), n, data);
        replies_ = replies_.subspan(n);
        return n;
    }
    bool purge(unsigned) override { return true; }
    bool modemStatus(std::uint32_t& status) override {
        status = jqz::MS_DSR_ON;
        return true;
    }
    bool setDtr(bool) override { return true; }

private:
    std::span<const std::uint8_t> replies_;
    jqz::LineSettings settings_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const std::uint8_t choice = data[0];
    const std::span<const std::uint8_t> rest(data + 1, size - 1);

    // The pure check, against a frame the input picks.
    const auto frame = jqz::MakeTalkerFrame("IRCPW"[choice % 5], 0xB600, rest[0], 0);
    const std::size_t expected = jqz::TalkerReplyDataLength(frame, 12);
    const auto checked = jqz::CheckTalkerReply(frame, expected, rest);
    if (checked.ok) {
        if (checked.data.size() != expected || rest.size() != expected + 2 || rest[0] != frame[0])
            std::abort();
        std::uint8_t sum = 0xA5;
        for (std::size_t i = 0; i + 1 < rest.size(); ++i) sum = static_cast<std::uint8_t>(sum + rest[i]);
        if (sum != rest.back()) std::abort();
    } else if (checked.error.empty()) {
        std::abort();
    }

    // The whole write over a line whose replies are the input.
    ScriptedPort port(rest);
    jqz::BootPart part;
    part.family = "E9";
    part.ramBytes = 512;
    jqz::BootstrapLink link(port, part, {});
    const std::vector<std::uint8_t> wanted(32, choice);
    jqz::CableWriteReport report;
    std::string error;
    const bool ok = jqz::CableProgram(link, 0xB600, wanted, false, report, error);
    if (ok != report.verified || (!ok && error.empty())) std::abort();
    return 0;
}
