#pragma once
// What each program does first in main(), before it opens any file: the edges of the
// process it was started as made safe, and its arguments taken as the system hands them.
#include <string>
#include <vector>

namespace jqz {

// On POSIX systems:
// - standard input, output and error that are closed at start are opened on /dev/null, so
//   that no file or port opened later takes their number (a warning written to standard
//   error would otherwise land in a saved file or go to the programmer);
// - a closed pipe fails its writes (EPIPE) instead of killing the process;
// - a file grown beyond the size limit (ulimit -f) fails its write (EFBIG) instead of
//   killing the process, so that a save removes its temporary file and says why.
// Nothing on Windows.
void PrepareProcessStart();

// The program's arguments (without its name) as UTF-8. Windows hands main() its arguments in
// the ANSI code page, in which most file names cannot be written; the UTF-16 command line
// holds them all.
std::vector<std::string> ProgramArguments(int argc, char* argv[]);

// Whether no window system is at hand to show a window on: on POSIX systems neither DISPLAY
// nor WAYLAND_DISPLAY is set (a build machine, an ssh session); never on Windows.
bool NoWindowSystem();

}  // namespace jqz
