#include "ui/image/code_page.h"

#include <QFile>
#include <array>

#include "core/platform/native_file.h"

namespace jqz {

namespace {

// 0x80..0x9F of Windows-1252; 0 where the code page has no character.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

}  // namespace

QChar DisplayCharacter(std::uint8_t byte) {
    if (byte == 0x00 || byte == 0xFF || byte < 0x20 || byte == 0x7F) return QChar('.');
    if (byte >= 0x80 && byte <= 0x9F) {
        const char16_t c = kHighControls[byte - 0x80];
        return c == 0 ? QChar('.') : QChar(c);
    }
    return QChar(byte);
}

std::uint8_t CodePageByte(QChar c) {
    const char16_t u = c.unicode();
    if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) return static_cast<std::uint8_t>(u);
    for (std::size_t i = 0; i < kHighControls.size(); ++i)
        if (kHighControls[i] == u && u != 0) return static_cast<std::uint8_t>(0x80 + i);
    if (u >= 0x80 && u <= 0x9F) return static_cast<std::uint8_t>(u);
    return '?';
}

std::string ToCodePage(const QString& text) {
    std::string out;
    out.reserve(static_cast<std::size_t>(text.size()));
    for (QChar c : text) out.push_back(static_cast<char>(CodePageByte(c)));
    return out;
}

QString FromCodePage(const std::string& text) {
    QString out;
    out.reserve(static_cast<qsizetype>(text.size()));
    for (char ch : text) {
        const auto byte = static_cast<std::uint8_t>(ch);
        const char16_t mapped = byte >= 0x80 && byte <= 0x9F ? kHighControls[byte - 0x80] : 0;
        out.append(QChar(mapped != 0 ? mapped : static_cast<char16_t>(byte)));
    }
    return out;
}

// The core takes and gives file names (and the texts that carry them: log lines, messages) in
// its own encoding: UTF-8 on Windows, where it speaks UTF-16 to the system; the system's
// file-name encoding elsewhere.
std::string FileNameBytes(const QString& fileName) {
    if constexpr (kNamesAreUtf8) return fileName.toStdString();
    return QFile::encodeName(fileName).toStdString();
}

QString FileNameText(const std::string& fileName) {
    if constexpr (kNamesAreUtf8) return QString::fromStdString(fileName);
    return QFile::decodeName(QByteArray(fileName.data(), static_cast<qsizetype>(fileName.size())));
}

}  // namespace jqz
