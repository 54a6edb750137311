#include "cli/cli_output.h"

#include <algorithm>

#include "core/image/checksum.h"
#include "core/platform/console.h"

namespace jqz::cli {

CliOutput::CliOutput(std::FILE* out, bool json, bool quiet, bool progressBar)
    : out_(out), console_(ConsoleOf(out)), json_(json), quiet_(quiet),
      progressBar_(progressBar && !json && !quiet) {}

// The texts are UTF-8. A file or pipe gets them as they are; a Windows console takes its bytes
// in a code page of its own, so it is given the characters instead (UTF-16).
void CliOutput::put(const std::string& text) {
    if (console_ != nullptr) {
        if (!WriteConsoleText(console_, text)) consoleFailed_ = true;
        return;
    }
    std::fputs(text.c_str(), out_);
}

namespace {

// The length of the well-formed UTF-8 sequence at text[at] (1 to 4), or 0 where the bytes
// there are not one: a stray continuation byte, a cut sequence, an overlong form, a
// surrogate, or a code point beyond U+10FFFF.
std::size_t utf8SequenceAt(const std::string& text, std::size_t at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    if (lead < 0x80) return 1;
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;  // the range of the byte after the lead
    if (lead >= 0xC2 && lead <= 0xDF) length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (at + length > text.size()) return 0;
    if (byte(at + 1) < low || byte(at + 1) > high) return 0;
    for (std::size_t i = 2; i < length; ++i)
        if (byte(at + i) < 0x80 || byte(at + i) > 0xBF) return 0;
    return length;
}

}  // namespace

// Text goes out as UTF-8, as it is; only what JSON requires is escaped (the quote, the
// backslash and control characters). A byte that is not part of well-formed UTF-8 (a file
// name in another encoding) becomes \ufffd (U+FFFD, the replacement character), so that every
// line stays valid JSON.
std::string CliOutput::JsonString(const std::string& text) {
    std::string s = "\"";
    for (std::size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        const std::size_t length = utf8SequenceAt(text, i);
        if (length == 0) {
            s += "\\ufffd";
            ++i;
            continue;
        }
        if (length > 1) {
            s.append(text, i, length);
            i += length;
            continue;
        }
        switch (c) {
            case '"': s += "\\\""; break;
            case '\\': s += "\\\\"; break;
            case '\n': s += "\\n"; break;
            case '\r': s += "\\r"; break;
            case '\t': s += "\\t"; break;
            default:
                if (c < 0x20) {
                    char buf[8];
                    std::snprintf(buf, sizeof buf, "\\u%04x", c);
                    s += buf;
                } else {
                    s += static_cast<char>(c);
                }
        }
        ++i;
    }
    return s + "\"";
}

namespace {
constexpr int kBarWidth = 40;
// "[####....] 100%": the bar's whole width on its line.
constexpr std::size_t kBarLine = kBarWidth + 7;
// Blanks the bar's line: overwritten with spaces, not cleared with an escape sequence, which a
// console that takes none (a Windows console without virtual terminal processing) would show.
const std::string kBarErased = "\r" + std::string(kBarLine, ' ') + "\r";
}  // namespace

void CliOutput::writeLine(const std::string& line) {
    if (barShown_) {
        put(kBarErased);
        barShown_ = false;
        lastPercent_ = -1;
    }
    put(line + "\n");
    std::fflush(out_);
}

bool CliOutput::writeFailed() const {
    std::lock_guard lock(mutex_);
    return consoleFailed_ || std::ferror(out_) != 0;
}

void CliOutput::AddLogLine(const std::string& text, int kind) {
    std::lock_guard lock(mutex_);
    lastLineWasError_ = kind == LogError;
    if (kind == LogError) {
        ++errors_;
        lastError_ = text;
        if (deviceErrors_++ == 0) deviceFirstError_ = text;
    }
    if (quiet_ && kind != LogError) return;
    if (json_) {
        const char* name = kind == LogError ? "error" : kind == LogNotice ? "notice" : "info";
        writeLine(std::string("{\"kind\":\"") + name + "\",\"text\":" + JsonString(text) + "}");
    } else {
        writeLine((kind == LogError ? "error: " : "") + text);
    }
}

std::string CliOutput::JsonArray(const std::vector<std::string>& items) {
    std::string s = "[";
    for (const std::string& item : items) s += (s.size() > 1 ? "," : "") + JsonString(item);
    return s + "]";
}

std::string CliOutput::ChecksumJson(const ChecksumReport& report, bool withRange) {
    return "\"text\":" + JsonString(report.text()) +
           (withRange ? ",\"range\":" + JsonString(report.what) : std::string()) +
           ",\"first\":" + std::to_string(report.first) + ",\"last\":" +
           std::to_string(report.last) + ",\"sum\":" + std::to_string(report.figures.sum) +
           ",\"crc32\":" + std::to_string(report.figures.crc32);
}

void CliOutput::AddChecksumLine(const ChecksumReport& report) {
    if (!json_) {
        AddLogLine(report.text(), LogInfo);
        return;
    }
    std::lock_guard lock(mutex_);
    lastLineWasError_ = false;
    if (quiet_) return;
    writeLine("{\"kind\":\"info\"," + ChecksumJson(report) + "}");
}

void CliOutput::showError(const std::string& text) {
    // The core logs an error and then shows it in a box; here both would be the same line.
    {
        std::lock_guard lock(mutex_);
        if (lastLineWasError_ && lastError_ == text) return;
    }
    AddLogLine(text, LogError);
}

Answer CliOutput::askQuestion(const std::string& text, QuestionButtons) {
    // A question the command line has answered already needs no mention.
    if (answer_ != Answer::Yes) AddLogLine(text + " -> No", LogNotice);
    return answer_;
}

void CliOutput::progress(int position, int maximum) {
    std::lock_guard lock(mutex_);
    if (!progressBar_ || maximum <= 0) return;
    const int percent = std::min(100, std::max(0, position * 100 / maximum));
    if (percent == lastPercent_) return;
    lastPercent_ = percent;
    const int filled = percent * kBarWidth / 100;
    char number[8];
    std::snprintf(number, sizeof number, "%3d%%", percent);
    put("\r[" + std::string(static_cast<std::size_t>(filled), '#') +
        std::string(static_cast<std::size_t>(kBarWidth - filled), '.') + "] " + number);
    std::fflush(out_);
    barShown_ = true;
}

void CliOutput::endProgress() {
    std::lock_guard lock(mutex_);
    if (barShown_) {
        put(kBarErased);
        std::fflush(out_);
        barShown_ = false;
        lastPercent_ = -1;
    }
}

void CliOutput::result(int exitCode, const std::string& summary) {
    std::lock_guard lock(mutex_);
    if (json_) {
        writeLine("{\"result\":" + JsonString(exitCode == 0 ? "ok" : "failed") +
                  ",\"exit\":" + std::to_string(exitCode) + ",\"summary\":" + JsonString(summary) +
                  "}");
    }
}

void CliOutput::prompt(const std::string& text) {
    std::lock_guard lock(mutex_);
    if (json_) writeLine("{\"kind\":\"prompt\",\"text\":" + JsonString(text) + "}");
    else writeLine(text);
}

void CliOutput::beginDevice() {
    std::lock_guard lock(mutex_);
    deviceErrors_ = 0;
    deviceFirstError_.clear();
}

int CliOutput::deviceErrorCount() const {
    std::lock_guard lock(mutex_);
    return deviceErrors_;
}

std::string CliOutput::deviceFirstError() const {
    std::lock_guard lock(mutex_);
    return deviceFirstError_;
}

int CliOutput::errorCount() const {
    std::lock_guard lock(mutex_);
    return errors_;
}

std::string CliOutput::lastError() const {
    std::lock_guard lock(mutex_);
    return lastError_;
}

}  // namespace jqz::cli
