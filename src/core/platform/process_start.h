#pragma once
// What each program does first in main(), before it opens any file: the edges of the
// process it was started as made safe.

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

}  // namespace jqz
