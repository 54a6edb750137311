#include "core/device/rtf_reader.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <limits>
#include <unordered_map>

namespace jqz {

namespace {

// Bytes 0x80..0x9F of code page 1252; 0xA0..0xFF equal Latin-1.
constexpr std::array<char16_t, 32> kCp1252Low = {
    0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD,
    0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178,
};

// Bytes 0x80..0xFF of code page 1250 (Central European).
constexpr std::array<char16_t, 128> kCp1250 = {
    0x20AC, 0xFFFD, 0x201A, 0xFFFD, 0x201E, 0x2026, 0x2020, 0x2021,
    0xFFFD, 0x2030, 0x0160, 0x2039, 0x015A, 0x0164, 0x017D, 0x0179,
    0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0xFFFD, 0x2122, 0x0161, 0x203A, 0x015B, 0x0165, 0x017E, 0x017A,
    0x00A0, 0x02C7, 0x02D8, 0x0141, 0x00A4, 0x0104, 0x00A6, 0x00A7,
    0x00A8, 0x00A9, 0x015E, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x017B,
    0x00B0, 0x00B1, 0x02DB, 0x0142, 0x00B4, 0x00B5, 0x00B6, 0x00B7,
    0x00B8, 0x0105, 0x015F, 0x00BB, 0x013D, 0x02DD, 0x013E, 0x017C,
    0x0154, 0x00C1, 0x00C2, 0x0102, 0x00C4, 0x0139, 0x0106, 0x00C7,
    0x010C, 0x00C9, 0x0118, 0x00CB, 0x011A, 0x00CD, 0x00CE, 0x010E,
    0x0110, 0x0143, 0x0147, 0x00D3, 0x00D4, 0x0150, 0x00D6, 0x00D7,
    0x0158, 0x016E, 0x00DA, 0x0170, 0x00DC, 0x00DD, 0x0162, 0x00DF,
    0x0155, 0x00E1, 0x00E2, 0x0103, 0x00E4, 0x013A, 0x0107, 0x00E7,
    0x010D, 0x00E9, 0x0119, 0x00EB, 0x011B, 0x00ED, 0x00EE, 0x010F,
    0x0111, 0x0144, 0x0148, 0x00F3, 0x00F4, 0x0151, 0x00F6, 0x00F7,
    0x0159, 0x016F, 0x00FA, 0x0171, 0x00FC, 0x00FD, 0x0163, 0x02D9,
};

// Bytes 0x80..0xFF of code page 1251 (Cyrillic).
constexpr std::array<char16_t, 128> kCp1251 = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0xFFFD, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,
    0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417,
    0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F,
    0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427,
    0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F,
    0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437,
    0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F,
    0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447,
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F,
};

// The Windows code page of a font character set; 0 = the document's own.
int charsetCodePage(int charset) {
    switch (charset) {
        case 204: return 1251;
        case 238: return 1250;
        case 161: return 1253;
        case 162: return 1254;
        case 177: return 1255;
        case 178: return 1256;
        case 186: return 1257;
        default: return 0;
    }
}

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

enum class Dest { Normal, FontTable, ColorTable };

struct GroupState {
    RtfCharFormat chr;
    RtfParagraphFormat para;
    Dest dest = Dest::Normal;
    int unicodeSkip = 1;  // \ucN: fallback characters after each \uN
};

// The control words the reader acts on.
enum class Word {
    Unknown, Skipped, Bin, U, Uc,
    // font table
    F, Fnil, Froman, Fswiss, Fmodern, Fscript, Fdecor, Ftech, Fbidi, Fcharset, Fprq,
    // colour table
    Red, Green, Blue,
    // destinations and document
    Fonttbl, Colortbl, Ansi, Ansicpg, Deff,
    // characters
    Par, Line, Tab, Emdash, Endash, Bullet, Lquote, Rquote, Ldblquote, Rdblquote, Emspace,
    Enspace,
    // character format
    Plain, B, I, Ul, Ulnone, Strike, Fs, Cf, Background,
    // paragraph format
    Pard, Ql, Qc, Qr, Qj, Li, Ri, Fi, Sb, Sa, Tqr, Tqc, Tqdec, Tx, Tb,
};

Word lookUp(std::string_view name) {
    static const std::unordered_map<std::string_view, Word> words = {
        // Groups whose contents are never shown.
        {"pict", Word::Skipped}, {"info", Word::Skipped}, {"stylesheet", Word::Skipped},
        {"listtable", Word::Skipped}, {"listoverridetable", Word::Skipped},
        {"rsidtbl", Word::Skipped}, {"revtbl", Word::Skipped}, {"header", Word::Skipped},
        {"headerl", Word::Skipped}, {"headerr", Word::Skipped}, {"headerf", Word::Skipped},
        {"footer", Word::Skipped}, {"footerl", Word::Skipped}, {"footerr", Word::Skipped},
        {"footerf", Word::Skipped}, {"footnote", Word::Skipped}, {"annotation", Word::Skipped},
        {"fldinst", Word::Skipped}, {"objdata", Word::Skipped}, {"filetbl", Word::Skipped},
        {"generator", Word::Skipped}, {"xmlnstbl", Word::Skipped}, {"themedata", Word::Skipped},
        {"datastore", Word::Skipped}, {"latentstyles", Word::Skipped},
        {"colorschememapping", Word::Skipped}, {"pgdsctbl", Word::Skipped},
        {"docvar", Word::Skipped}, {"nonshppict", Word::Skipped}, {"bkmkstart", Word::Skipped},
        {"bkmkend", Word::Skipped}, {"atnid", Word::Skipped}, {"atnauthor", Word::Skipped},
        {"template", Word::Skipped}, {"userprops", Word::Skipped},
        {"bin", Word::Bin}, {"u", Word::U}, {"uc", Word::Uc},
        {"f", Word::F}, {"fnil", Word::Fnil}, {"froman", Word::Froman}, {"fswiss", Word::Fswiss},
        {"fmodern", Word::Fmodern}, {"fscript", Word::Fscript}, {"fdecor", Word::Fdecor},
        {"ftech", Word::Ftech}, {"fbidi", Word::Fbidi}, {"fcharset", Word::Fcharset},
        {"fprq", Word::Fprq},
        {"red", Word::Red}, {"green", Word::Green}, {"blue", Word::Blue},
        {"fonttbl", Word::Fonttbl}, {"colortbl", Word::Colortbl}, {"ansi", Word::Ansi},
        {"ansicpg", Word::Ansicpg}, {"deff", Word::Deff},
        {"par", Word::Par}, {"sect", Word::Par}, {"page", Word::Par}, {"row", Word::Par},
        {"line", Word::Line}, {"tab", Word::Tab}, {"cell", Word::Tab},
        {"emdash", Word::Emdash}, {"endash", Word::Endash}, {"bullet", Word::Bullet},
        {"lquote", Word::Lquote}, {"rquote", Word::Rquote}, {"ldblquote", Word::Ldblquote},
        {"rdblquote", Word::Rdblquote}, {"emspace", Word::Emspace}, {"enspace", Word::Enspace},
        {"plain", Word::Plain}, {"b", Word::B}, {"i", Word::I},
        {"ul", Word::Ul}, {"uld", Word::Ul}, {"uldash", Word::Ul}, {"uldb", Word::Ul},
        {"ulw", Word::Ul}, {"ulth", Word::Ul}, {"ulwave", Word::Ul}, {"ulnone", Word::Ulnone},
        {"strike", Word::Strike}, {"striked", Word::Strike}, {"fs", Word::Fs}, {"cf", Word::Cf},
        {"highlight", Word::Background}, {"cb", Word::Background},
        {"chcbpat", Word::Background},
        {"pard", Word::Pard}, {"ql", Word::Ql}, {"qc", Word::Qc}, {"qr", Word::Qr},
        {"qj", Word::Qj}, {"li", Word::Li}, {"ri", Word::Ri}, {"fi", Word::Fi}, {"sb", Word::Sb},
        {"sa", Word::Sa}, {"tqr", Word::Tqr}, {"tqc", Word::Tqc}, {"tqdec", Word::Tqdec},
        {"tx", Word::Tx}, {"tb", Word::Tb},
    };
    const auto it = words.find(name);
    return it == words.end() ? Word::Unknown : it->second;
}

constexpr std::size_t kMaxDepth = 1024;
constexpr std::size_t kMaxNameLength = 32;

class Parser {
public:
    explicit Parser(std::string_view in) : in_(in) { stack_.emplace_back(); }

    RtfDocument run() {
        while (pos_ < in_.size()) {
            const char c = in_[pos_];
            if (c == '{') {
                ++pos_;
                openGroup();
            } else if (c == '}') {
                ++pos_;
                closeGroup();
            } else if (c == '\\') {
                ++pos_;
                controlSequence();
            } else {
                ++pos_;
                plainByte(static_cast<unsigned char>(c));
            }
        }
        flushPendingFont();
        endParagraph(/*onlyIfText=*/true);
        return std::move(doc_);
    }

private:
    GroupState& state() { return stack_.back(); }

    void openGroup() {
        pendingSkip_ = 0;
        if (stack_.size() >= kMaxDepth) {
            ++overflowDepth_;
            return;
        }
        stack_.push_back(stack_.back());
        atGroupStart_ = true;
    }

    void closeGroup() {
        pendingSkip_ = 0;
        atGroupStart_ = false;
        if (overflowDepth_ > 0) {
            --overflowDepth_;
            return;
        }
        if (stack_.size() <= 1) return;  // a stray closing brace
        if (state().dest == Dest::FontTable) flushPendingFont();
        stack_.pop_back();
    }

    // Skips to the end of the current group, then closes it. Nested groups, escaped braces
    // and the raw bytes of \bin are stepped over.
    void skipGroup() {
        int depth = 0;
        while (pos_ < in_.size()) {
            const char c = in_[pos_++];
            if (c == '{') {
                ++depth;
            } else if (c == '}') {
                if (depth == 0) {
                    closeGroup();
                    return;
                }
                --depth;
            } else if (c == '\\' && pos_ < in_.size()) {
                if (!isLetter(in_[pos_])) {
                    ++pos_;  // an escaped character, braces included
                    continue;
                }
                long long param = 0;
                bool hasParam = false;
                const std::string_view name = readControlWord(param, hasParam);
                if (name == "bin" && hasParam) skipBinary(param);
            }
        }
        closeGroup();
    }

    void skipBinary(long long count) {
        if (count <= 0) return;
        const std::size_t left = in_.size() - pos_;
        pos_ += static_cast<std::size_t>(std::min<long long>(count, static_cast<long long>(left)));
    }

    // Reads letters, an optional signed number and an optional delimiting space; pos_ is on
    // the first letter. Names longer than any known word are cut (and stay unknown).
    std::string_view readControlWord(long long& param, bool& hasParam) {
        const std::size_t first = pos_;
        while (pos_ < in_.size() && isLetter(in_[pos_])) ++pos_;
        const std::string_view name = in_.substr(first, std::min(pos_ - first, kMaxNameLength));
        bool negative = false;
        if (pos_ + 1 < in_.size() && in_[pos_] == '-' && isDigit(in_[pos_ + 1])) {
            negative = true;
            ++pos_;
        }
        hasParam = false;
        param = 0;
        while (pos_ < in_.size() && isDigit(in_[pos_])) {
            hasParam = true;
            if (param < 100000000000LL) param = param * 10 + (in_[pos_] - '0');
            ++pos_;
        }
        if (negative) param = -param;
        if (pos_ < in_.size() && in_[pos_] == ' ') ++pos_;
        return name;
    }

    static int clampInt(long long v) {
        return static_cast<int>(std::clamp<long long>(v, std::numeric_limits<int>::min(),
                                                      std::numeric_limits<int>::max()));
    }

    void controlSequence() {
        if (pos_ >= in_.size()) return;
        const char c = in_[pos_];
        const bool groupStart = atGroupStart_;
        atGroupStart_ = false;
        if (!isLetter(c)) {
            ++pos_;
            controlSymbol(c, groupStart);
            return;
        }
        long long param = 0;
        bool hasParam = false;
        const Word word = lookUp(readControlWord(param, hasParam));
        if (word == Word::Bin) {
            skipBinary(hasParam ? param : 0);
            return;
        }
        (void)groupStart;
        controlWord(word, hasParam, clampInt(param));
    }

    void controlSymbol(char c, bool groupStart) {
        switch (c) {
            case '\\':
            case '{':
            case '}': text(static_cast<unsigned char>(c)); break;
            case '~': countedChar(0x00A0); break;
            case '-': countedChar(0x00AD); break;
            case '_': countedChar(0x2011); break;
            case '\'': hexByte(); break;
            case '*':
                // An ignorable destination: its group is of no use to a reader like this one.
                if (groupStart || stack_.size() > 1) skipGroup();
                break;
            case '\n':
            case '\r': endParagraph(false); break;
            case '\t': countedChar(U'\t'); break;
            default:
                if (pendingSkip_ > 0) --pendingSkip_;
                break;
        }
    }

    void hexByte() {
        int value = 0;
        int digits = 0;
        while (digits < 2 && pos_ < in_.size() && hexValue(in_[pos_]) >= 0) {
            value = value * 16 + hexValue(in_[pos_]);
            ++pos_;
            ++digits;
        }
        if (digits == 0) return;
        byteChar(static_cast<unsigned char>(value));
    }

    void plainByte(unsigned char b) {
        if (b == '\r' || b == '\n' || b == 0) return;
        if (b == '\t') {
            countedChar(U'\t');
            return;
        }
        if (b < 0x20) return;
        byteChar(b);
    }

    // A character given as a byte of the current code page.
    void byteChar(unsigned char b) {
        if (state().dest == Dest::Normal && pendingSkip_ > 0) {
            --pendingSkip_;
            return;
        }
        if (b < 0x80) {
            text(b);
        } else {
            text(CodePageToUnicode(currentCodePage(), b));
        }
    }

    void countedChar(char32_t c) {
        if (state().dest == Dest::Normal && pendingSkip_ > 0) {
            --pendingSkip_;
            return;
        }
        text(c);
    }

    int currentCodePage() const {
        const GroupState& s = stack_.back();
        if (s.dest == Dest::FontTable) {
            if (const int cp = charsetCodePage(pendingFont_.charset)) return cp;
            return codePage_;
        }
        const int fontNumber = s.chr.font >= 0 ? s.chr.font : doc_.defaultFont;
        if (const RtfFont* f = doc_.font(fontNumber))
            if (const int cp = charsetCodePage(f->charset)) return cp;
        return codePage_;
    }

    // Text for the current destination.
    void text(char32_t c) {
        GroupState& s = state();
        switch (s.dest) {
            case Dest::FontTable:
                if (c == ';') {
                    flushPendingFont();
                } else {
                    fontPending_ = true;
                    appendUtf8(pendingFont_.name, c);
                }
                return;
            case Dest::ColorTable:
                if (c == ';') {
                    doc_.colors.push_back(pendingColor_);
                    pendingColor_ = RtfColor{};
                }
                return;
            case Dest::Normal: break;
        }
        if (highSurrogate_ != 0) {
            appendToRun(0xFFFD);
            highSurrogate_ = 0;
        }
        appendToRun(c);
    }

    void appendToRun(char32_t c) {
        const RtfCharFormat& f = state().chr;
        if (runs_.empty() || !(runs_.back().format == f)) runs_.push_back(RtfRun{{}, f});
        appendUtf8(runs_.back().text, c);
    }

    void unicodeChar(int n) {
        if (state().dest != Dest::Normal) {
            if (n < 0) n += 65536;
            if (n > 0 && n < 0xD800) text(static_cast<char32_t>(n));
            return;
        }
        if (n < 0) n += 65536;
        const int skip = state().unicodeSkip;
        if (n >= 0xD800 && n <= 0xDBFF) {
            if (highSurrogate_ != 0) appendToRun(0xFFFD);
            highSurrogate_ = static_cast<char32_t>(n);
        } else if (n >= 0xDC00 && n <= 0xDFFF) {
            if (highSurrogate_ != 0) {
                const char32_t c = 0x10000 + ((highSurrogate_ - 0xD800) << 10) +
                                   (static_cast<char32_t>(n) - 0xDC00);
                highSurrogate_ = 0;
                appendToRun(c);
            } else {
                appendToRun(0xFFFD);
            }
        } else if (n > 0 && n <= 0xFFFF) {
            text(static_cast<char32_t>(n));
        }
        pendingSkip_ = std::max(0, skip);
    }

    void endParagraph(bool onlyIfText) {
        if (highSurrogate_ != 0) {
            appendToRun(0xFFFD);
            highSurrogate_ = 0;
        }
        if (onlyIfText && runs_.empty()) return;
        RtfParagraph p;
        p.format = state().para;
        p.runs = std::move(runs_);
        runs_.clear();
        doc_.paragraphs.push_back(std::move(p));
    }

    void flushPendingFont() {
        if (!fontPending_ && pendingFont_.name.empty()) return;
        RtfFont f = std::move(pendingFont_);
        // Trim the blanks some writers leave around the name.
        while (!f.name.empty() && f.name.back() == ' ') f.name.pop_back();
        const auto first = f.name.find_first_not_of(' ');
        f.name.erase(0, first == std::string::npos ? f.name.size() : first);
        const int number = f.number;
        pendingFont_ = RtfFont{};
        pendingFont_.number = number;
        fontPending_ = false;
        for (auto& existing : doc_.fonts)
            if (existing.number == f.number) {
                existing = std::move(f);
                return;
            }
        if (doc_.fonts.size() < 4096) doc_.fonts.push_back(std::move(f));
    }

    void controlWord(Word word, bool hasParam, int param) {
        GroupState& s = state();
        // A control word counts as one fallback character after \uN.
        if (word != Word::U && pendingSkip_ > 0 && s.dest == Dest::Normal) {
            --pendingSkip_;
            return;
        }
        if (word == Word::Skipped) {
            if (stack_.size() > 1) skipGroup();
            return;
        }
        if (word == Word::U) {
            unicodeChar(param);
            return;
        }
        if (word == Word::Uc) {
            s.unicodeSkip = std::clamp(param, 0, 16);
            return;
        }
        if (s.dest == Dest::FontTable) {
            fontTableWord(word, param);
            return;
        }
        if (s.dest == Dest::ColorTable) {
            const int level = std::clamp(param, 0, 255);
            if (word == Word::Red) pendingColor_.red = level;
            if (word == Word::Green) pendingColor_.green = level;
            if (word == Word::Blue) pendingColor_.blue = level;
            if (word == Word::Red || word == Word::Green || word == Word::Blue)
                pendingColor_.isAuto = false;
            return;
        }
        const bool on = !hasParam || param != 0;
        switch (word) {
            // destinations and document
            case Word::Fonttbl:
                s.dest = Dest::FontTable;
                pendingFont_ = RtfFont{};
                fontPending_ = false;
                break;
            case Word::Colortbl:
                s.dest = Dest::ColorTable;
                doc_.colors.clear();
                pendingColor_ = RtfColor{};
                break;
            case Word::Ansi: codePage_ = 1252; break;
            case Word::Ansicpg: codePage_ = param; break;
            case Word::Deff: doc_.defaultFont = param; break;
            // characters
            case Word::Par: endParagraph(false); break;
            case Word::Line: text(U'\n'); break;
            case Word::Tab: text(U'\t'); break;
            case Word::Emdash: text(0x2014); break;
            case Word::Endash: text(0x2013); break;
            case Word::Bullet: text(0x2022); break;
            case Word::Lquote: text(0x2018); break;
            case Word::Rquote: text(0x2019); break;
            case Word::Ldblquote: text(0x201C); break;
            case Word::Rdblquote: text(0x201D); break;
            case Word::Emspace: text(0x2003); break;
            case Word::Enspace: text(0x2002); break;
            // character format
            case Word::Plain: s.chr = RtfCharFormat{}; break;
            case Word::B: s.chr.bold = on; break;
            case Word::I: s.chr.italic = on; break;
            case Word::Ul: s.chr.underline = on; break;
            case Word::Ulnone: s.chr.underline = false; break;
            case Word::Strike: s.chr.strike = on; break;
            case Word::Fs:
                if (hasParam && param > 0) s.chr.fontSizeHalfPoints = std::min(param, 3276);
                break;
            case Word::F: s.chr.font = param; break;
            case Word::Cf: s.chr.color = std::max(0, param); break;
            case Word::Background: s.chr.background = std::max(0, param); break;
            // paragraph format
            case Word::Pard:
                s.para = RtfParagraphFormat{};
                pendingTabKind_ = RtfTabKind::Left;
                break;
            case Word::Ql: s.para.alignment = RtfAlignment::Left; break;
            case Word::Qc: s.para.alignment = RtfAlignment::Center; break;
            case Word::Qr: s.para.alignment = RtfAlignment::Right; break;
            case Word::Qj: s.para.alignment = RtfAlignment::Justify; break;
            case Word::Li: s.para.leftIndentTwips = param; break;
            case Word::Ri: s.para.rightIndentTwips = param; break;
            case Word::Fi: s.para.firstLineIndentTwips = param; break;
            case Word::Sb: s.para.spaceBeforeTwips = param; break;
            case Word::Sa: s.para.spaceAfterTwips = param; break;
            case Word::Tqr: pendingTabKind_ = RtfTabKind::Right; break;
            case Word::Tqc: pendingTabKind_ = RtfTabKind::Center; break;
            case Word::Tqdec: pendingTabKind_ = RtfTabKind::Decimal; break;
            case Word::Tx:
                if (s.para.tabs.size() < 64) s.para.tabs.push_back({param, pendingTabKind_});
                pendingTabKind_ = RtfTabKind::Left;
                break;
            case Word::Tb: pendingTabKind_ = RtfTabKind::Left; break;
            default: break;  // unknown words and font or colour table words out of place
        }
    }

    void fontTableWord(Word word, int param) {
        switch (word) {
            case Word::F:
                flushPendingFont();
                pendingFont_ = RtfFont{};
                pendingFont_.number = param;
                break;
            case Word::Fnil: pendingFont_.family = RtfFontFamily::Nil; break;
            case Word::Froman: pendingFont_.family = RtfFontFamily::Roman; break;
            case Word::Fswiss: pendingFont_.family = RtfFontFamily::Swiss; break;
            case Word::Fmodern: pendingFont_.family = RtfFontFamily::Modern; break;
            case Word::Fscript: pendingFont_.family = RtfFontFamily::Script; break;
            case Word::Fdecor: pendingFont_.family = RtfFontFamily::Decor; break;
            case Word::Ftech: pendingFont_.family = RtfFontFamily::Tech; break;
            case Word::Fbidi: pendingFont_.family = RtfFontFamily::Bidi; break;
            case Word::Fcharset: pendingFont_.charset = param; break;
            case Word::Fprq: pendingFont_.fixedPitch = param == 1; break;
            default: break;
        }
    }

    std::string_view in_;
    std::size_t pos_ = 0;
    std::vector<GroupState> stack_;
    std::size_t overflowDepth_ = 0;
    bool atGroupStart_ = false;
    int codePage_ = 1252;
    int pendingSkip_ = 0;
    char32_t highSurrogate_ = 0;
    RtfTabKind pendingTabKind_ = RtfTabKind::Left;
    RtfFont pendingFont_;
    bool fontPending_ = false;
    RtfColor pendingColor_;
    std::vector<RtfRun> runs_;
    RtfDocument doc_;
};

}  // namespace

char32_t CodePageToUnicode(int codePage, unsigned char b) {
    if (b < 0x80) return b;
    switch (codePage) {
        case 1250: return kCp1250[b - 0x80u];
        case 1251: return kCp1251[b - 0x80u];
        default: return b < 0xA0 ? kCp1252Low[b - 0x80u] : char32_t{b};
    }
}

std::string RtfParagraph::plainText() const {
    std::string s;
    for (const auto& r : runs) s += r.text;
    return s;
}

const RtfFont* RtfDocument::font(int number) const {
    for (const auto& f : fonts)
        if (f.number == number) return &f;
    return nullptr;
}

const RtfColor* RtfDocument::color(int index) const {
    if (index <= 0 || static_cast<std::size_t>(index) >= colors.size()) return nullptr;
    const RtfColor& c = colors[static_cast<std::size_t>(index)];
    return c.isAuto ? nullptr : &c;
}

std::string RtfDocument::plainText() const {
    std::string s;
    for (const auto& p : paragraphs) {
        s += p.plainText();
        s += '\n';
    }
    return s;
}

RtfDocument ParseRtf(std::string_view bytes) { return Parser(bytes).run(); }

}  // namespace jqz
