#include "cli/cli_output.h"

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#endif

#include <algorithm>

#ifdef _WIN32
#include "core/app/native_file.h"
#endif

namespace jqz::cli {

namespace {

#ifdef _WIN32
// The console the stream writes to, or null when it goes to a file or a pipe.
void* consoleOf(std::FILE* stream) {
    const auto handle = reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(stream)));
    DWORD mode = 0;
    if (handle == INVALID_HANDLE_VALUE || !::GetConsoleMode(handle, &mode)) return nullptr;
    // The progress bar clears its line with an escape sequence.
    (void)::SetConsoleMode(handle, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
    return handle;
}
#else
void* consoleOf(std::FILE*) { return nullptr; }
#endif

}  // namespace

CliOutput::CliOutput(std::FILE* out, bool json, bool quiet, bool progressBar)
    : out_(out), console_(consoleOf(out)), json_(json), quiet_(quiet),
      progressBar_(progressBar && !json && !quiet) {}

// The texts are UTF-8. A file or pipe gets them as they are; a Windows console takes its bytes
// in a code page of its own, so it is given the characters instead (UTF-16).
void CliOutput::put(const std::string& text) {
#ifdef _WIN32
    if (console_ != nullptr) {
        const std::wstring wide = WideFromUtf8(text);
        DWORD written = 0;
        if (!::WriteConsoleW(static_cast<HANDLE>(console_), wide.data(),
                             static_cast<DWORD>(wide.size()), &written, nullptr))
            consoleFailed_ = true;
        return;
    }
#endif
    std::fputs(text.c_str(), out_);
}

namespace {

// The length of the well-formed UTF-8 sequence at text[i] (a byte from 0x80 on), or 0.
std::size_t utf8Length(const std::string& text, std::size_t i) {
    const auto at = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char c = at(i);
    const std::size_t n = c >= 0xC2 && c <= 0xDF ? 2 : c >= 0xE0 && c <= 0xEF ? 3
                          : c >= 0xF0 && c <= 0xF4 ? 4 : 0;
    if (n == 0 || i + n > text.size()) return 0;
    for (std::size_t k = 1; k < n; ++k)
        if ((at(i + k) & 0xC0) != 0x80) return 0;
    const unsigned char second = at(i + 1);
    // Overlong forms, UTF-16 surrogates, and beyond U+10FFFF.
    if ((c == 0xE0 && second < 0xA0) || (c == 0xED && second >= 0xA0) ||
        (c == 0xF0 && second < 0x90) || (c == 0xF4 && second >= 0x90))
        return 0;
    return n;
}

}  // namespace

// JSON text is UTF-8: the log's UTF-8 passes as it is; a byte that is not part of a UTF-8
// character (a file name in another encoding) becomes U+FFFD.
std::string CliOutput::JsonString(const std::string& text) {
    std::string s = "\"";
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        switch (c) {
            case '"': s += "\\\""; break;
            case '\\': s += "\\\\"; break;
            case '\n': s += "\\n"; break;
            case '\r': s += "\\r"; break;
            case '\t': s += "\\t"; break;
            default:
                if (c < 0x20 || c == 0x7F) {
                    char buf[8];
                    std::snprintf(buf, sizeof buf, "\\u%04x", c);
                    s += buf;
                } else if (c < 0x80) {
                    s += static_cast<char>(c);
                } else if (const std::size_t n = utf8Length(text, i); n > 0) {
                    s.append(text, i, n);
                    i += n - 1;
                } else {
                    s += "\\ufffd";
                }
        }
    }
    return s + "\"";
}

void CliOutput::writeLine(const std::string& line) {
    if (barShown_) {
        put("\r\033[K");
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
    }
    if (quiet_ && kind != LogError) return;
    if (json_) {
        const char* name = kind == LogError ? "error" : kind == LogNotice ? "notice" : "info";
        writeLine(std::string("{\"kind\":\"") + name + "\",\"text\":" + JsonString(text) + "}");
    } else {
        writeLine((kind == LogError ? "error: " : "") + text);
    }
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
    constexpr int kWidth = 40;
    const int filled = percent * kWidth / 100;
    char number[8];
    std::snprintf(number, sizeof number, "%3d%%", percent);
    put("\r[" + std::string(static_cast<std::size_t>(filled), '#') +
        std::string(static_cast<std::size_t>(kWidth - filled), '.') + "] " + number);
    std::fflush(out_);
    barShown_ = true;
}

void CliOutput::endProgress() {
    std::lock_guard lock(mutex_);
    if (barShown_) {
        put("\r\033[K");
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

int CliOutput::errorCount() const {
    std::lock_guard lock(mutex_);
    return errors_;
}

std::string CliOutput::lastError() const {
    std::lock_guard lock(mutex_);
    return lastError_;
}

}  // namespace jqz::cli
