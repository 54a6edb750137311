#pragma once
// Files shared between runs of the program: a lock file that one run holds at a time, and a
// file that several runs append lines to.
#include <string>

namespace jqz {

// A lock file: a second run that asks for it while the first holds it is told so at once.
// The lock goes when this object does, also when the process dies.
class LockFile {
public:
    enum class Result { Held, Taken, Failed };

    LockFile() = default;
    LockFile(const LockFile&) = delete;
    LockFile& operator=(const LockFile&) = delete;
    ~LockFile();

    // Takes the lock of the file at `path`, making the file when it is missing. Held: this
    // object holds it now; Taken: another run holds it; Failed: `why` says what failed.
    // On Windows the file goes with the lock; elsewhere it stays, since removing it could let
    // a third run lock a new file while a second one waits on the old.
    Result acquire(const std::string& path, std::string& why);

private:
    void* handle_ = nullptr;  // Windows
    int fd_ = -1;             // POSIX
};

// A file that several runs append to at once (two programmers on one machine): the look at
// its size and the first line, and each later line, go in under the file's lock where the
// system has one, so the first line comes once, first, and lines never interleave.
class SharedAppendFile {
public:
    SharedAppendFile() = default;
    SharedAppendFile(const SharedAppendFile&) = delete;
    SharedAppendFile& operator=(const SharedAppendFile&) = delete;
    ~SharedAppendFile();

    // Opens the file for appending, making it when missing, and writes `firstLine` when it is
    // empty. Empty on success, otherwise why not ("It is not a plain file." for a pipe that
    // appeared after the caller's check).
    std::string open(const std::string& path, const std::string& firstLine);
    // Appends the text whole or not at all (a line cut short by a full disk or the size limit
    // is taken back, so that the next run appends after a complete line) and waits until it
    // is on disk. 0, or the error number.
    int append(const std::string& text);

private:
    int fd_ = -1;
};

}  // namespace jqz
