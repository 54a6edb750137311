#pragma once
// Whole-file reads and writes.
//
// A write builds the new contents completely under a temporary name beside the file and then
// puts it in place, so a failed write never leaves a half-written file or destroys the old
// one. Only plain files are ever replaced:
// - a symbolic link is followed, and the file it names is replaced in that file's folder;
// - a directory, a named pipe, a socket or a device is refused and left as it is;
// - a file the user could not open for writing is refused ("Permission denied"), as a plain
//   write would be; what the system lets the user (root) override stays overridable;
// - an existing file keeps its permission bits, its extended attributes (its access control
//   list among them), and its owner and group where the process may set them;
// - a file of another user in a folder with the sticky bit is refused: only its owner may
//   replace it there;
// - a file with more than one hard link is written in place once the complete new contents
//   are safely on disk under the temporary name, so that every name keeps sharing the one
//   file. The space is reserved first, so that a full disk refuses while the old contents are
//   whole, and only the very file that was checked is written: one that a link, a pipe or
//   another file replaced meanwhile is left alone. Should that in-place write fail, the
//   temporary copy is kept and the message names it.
// The temporary name is the file's name with a mark added, cut short where the folder's limit
// on name lengths needs it.
#include <cstddef>
#include <optional>
#include <string>

namespace jqz {

// Empty on success, otherwise a message naming the file and the cause.
std::string WriteFileAtomically(const std::string& path, const std::string& bytes);

// Makes the file with the bytes, whole or not at all, unless something is at its name already
// (a symbolic link to a missing file makes that file). That is no failure: `existed` says so,
// and the file is left as it is. Empty on success, otherwise the message.
std::string CreateFileAtomically(const std::string& path, const std::string& bytes,
                                 bool& existed);

// Removes the temporary files that writes of `path` by other processes left beside the file
// it leads to (runs that were ended while they wrote it); the number removed. For a file whose
// lock (LockFile) the caller holds: no other write of it can be under way.
int RemoveLeftoverTemporaries(const std::string& path);

// Empty when a WriteFileAtomically of `path` could go ahead now (its checks pass, the sticky
// rule included, and its folder takes new files), otherwise the message that the write would
// give. For refusing early, before anything worth saving has been made.
std::string CheckFileWritable(const std::string& path);

// Reads the file to its end (files that report no size, such as those of /proc, included).
// Empty on success, otherwise a message naming the file and the cause; `out` is empty then.
// Files above maxBytes and anything that is not a plain file are refused.
std::string ReadFileToEnd(const std::string& path, std::string& out,
                          std::size_t maxBytes = 256u * 1024u * 1024u);

// The file's bytes, or nullopt when ReadFileToEnd fails.
std::optional<std::string> ReadWholeFile(const std::string& path,
                                         std::size_t maxBytes = 256u * 1024u * 1024u);

// For a name that exists but is not a plain file (after following symbolic links): the
// sentence that says what it is, e.g. "It is a named pipe (FIFO), not a plain file.".
// Empty for a plain file and for a name that does not exist.
std::string NotAPlainFile(const std::string& path);

}  // namespace jqz
