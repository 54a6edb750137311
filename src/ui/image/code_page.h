#pragma once
// The 8-bit code page in which the editor shows and takes the image's bytes as characters
// (Windows-1252: Latin-1 with printable characters at 0x80..0x9F).
#include <QChar>
#include <QString>
#include <cstdint>
#include <string>

namespace jqz {

// The character a byte stands for; bytes without a printable character give "." as 0x00
// and 0xFF do.
QChar DisplayCharacter(std::uint8_t byte);
// The byte of a typed character; characters outside the code page give "?".
std::uint8_t CodePageByte(QChar c);
// A text in the code page, one byte per character; characters outside it give "?".
std::string ToCodePage(const QString& text);
// The characters of a text in the code page. Every byte has one, so that ToCodePage gives
// the bytes back: the five bytes the code page leaves undefined stand for the control
// characters of the same number.
QString FromCodePage(const std::string& text);

// File names are not code-page text. They cross to the core, and the core's texts that carry
// them (log lines, messages) come back, in the core's encoding: UTF-8 on Windows, the
// system's file-name encoding elsewhere.
std::string FileNameBytes(const QString& fileName);
QString FileNameText(const std::string& fileName);

}  // namespace jqz
