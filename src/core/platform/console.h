#pragma once
// The console: whether a stream is a terminal, text written to a Windows console, and the
// lines a user types on standard input.
#include <cstdio>
#include <string>

namespace jqz {

// Whether the stream goes to a terminal (a console window on Windows).
bool IsTerminal(std::FILE* stream);

// The Windows console the stream writes to, or null when the stream goes to a file or a pipe.
// Always null on POSIX systems, whose terminals take UTF-8 as it is.
void* ConsoleOf(std::FILE* stream);

// Writes UTF-8 text to a console from ConsoleOf as characters (UTF-16): a Windows console
// takes its bytes in a code page of its own. False when the console refuses it.
bool WriteConsoleText(void* console, const std::string& text);

// One byte of standard input: 1 with the byte, 0 at its end, -1 when it cannot be read.
// Waits for the user; an interrupted wait goes on.
int ReadInputByte(char& byte);

// Forgets what was typed on a terminal before a question, which is not its answer.
void DropTypedAhead();

}  // namespace jqz
