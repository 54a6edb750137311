#pragma once
// Files shared between runs of the program: a lock file that one run holds at a time, and a
// file that several runs append lines to.
#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <string_view>
#include <thread>

namespace jqz {

// How a run waits for a lock that another run holds: `waiting` is told once, as the wait
// begins, and a set `stop` (the first Ctrl+C or SIGTERM) ends the wait unfinished.
struct LockWait {
    std::function<void()> waiting;
    const std::atomic<bool>* stop = nullptr;

    // Calls `taken` until it says the lock is no longer held elsewhere (it has then taken it,
    // or failed otherwise); false when the stop came first.
    bool until(const std::function<bool()>& taken) const {
        if (!taken()) return true;
        if (waiting) waiting();
        for (;;) {
            if (stop != nullptr && stop->load()) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            if (!taken()) return true;
        }
    }
};

// The lock of one file itself, whichever name reaches it: through a symbolic link or another
// hard link a second run finds the same lock. A second run that asks for it while the first
// holds it is told so at once. The lock goes when this object does, also when the process dies.
// On Windows, where a file open for its lock could not be replaced, the lock is a file beside
// the one that the name finally leads to (symbolic links followed), with ".lock" added; it goes
// with the lock.
class LockFile {
public:
    enum class Result { Held, Taken, Missing, Failed };

    LockFile() = default;
    LockFile(const LockFile&) = delete;
    LockFile& operator=(const LockFile&) = delete;
    ~LockFile();

    // Takes the lock of the file at `path`. Held: this object holds it now; Taken: another run
    // holds it; Missing: there is no such file (make it, then ask again); Failed: `why` says
    // what failed.
    Result acquire(const std::string& path, std::string& why);
    // Replaces the locked file's contents as WriteFileAtomically does, keeping the lock: the
    // file that takes the name is locked before it does. Empty on success, else the message.
    std::string replace(const std::string& path, const std::string& bytes);
    // Removes the locked file, before the lock goes (a file this run made and did not use).
    void remove(const std::string& path);

private:
    void* handle_ = nullptr;  // Windows
    int fd_ = -1;             // POSIX
};

// What goes into a file of lines whose last bytes are `tail` (all of it when `whole`) to add
// `line` (which ends with its line end): a line end first where the last line lacks one. With
// `once`, nothing when the line is among those last bytes already.
inline std::string LineToAppend(std::string_view tail, bool whole, const std::string& line,
                                bool once) {
    if (once && !line.empty()) {
        const std::string_view l(line);
        if (whole && tail.starts_with(l)) return {};
        if (tail.find("\n" + line) != std::string_view::npos) return {};
    }
    if (!tail.empty() && tail.back() != '\n') return "\n" + line;
    return line;
}

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
    // A lock held by another run is waited for as `wait` says (ECANCELED when it was stopped).
    std::string open(const std::string& path, const std::string& firstLine,
                     const LockWait& wait = {});
    // Appends the text whole or not at all (a line cut short by a full disk or the size limit
    // is taken back, so that the next run appends after a complete line) and waits until it
    // is on disk; a last line without its line end gets one first. With `once`, a line that is
    // among the file's last 64 KiB already is not appended again. 0, or the error number
    // (ECANCELED: the wait for another run's lock was stopped).
    int append(const std::string& text, bool once = false);
    // How later appends wait for a lock held by another run.
    void setWait(const LockWait& wait) { wait_ = wait; }

    static constexpr std::size_t kTailLooked = 64 * 1024;

private:
    int fd_ = -1;
    LockWait wait_;
};

}  // namespace jqz
