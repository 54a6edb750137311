// Saving replaces only plain files, keeps what it replaces (mode, owner, links) and refuses
// what the user could not write; reading goes to a file's end and reports read errors.
#include <gtest/gtest.h>
#include <poll.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <grp.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>

#include "core/platform/atomic_file.h"
#include "core/files/image_files.h"
#include "file_test_support.h"
#include "test_support.h"

namespace jqz {
namespace {

namespace fs = std::filesystem;

constexpr uid_t kNobody = 65534;

struct stat statOf(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
    return st;
}

// The names in a folder that a save left behind under a temporary name.
std::vector<std::string> leftovers(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder))
        if (e.path().filename().string().find(".tmp~") != std::string::npos)
            names.push_back(e.path().string());
    return names;
}

// Reads what the child process wrote into the pipe until it closes, then waits for the child.
std::string answerOf(int readEnd, pid_t child) {
    std::string result;
    char buffer[512];
    ssize_t n;
    while ((n = ::read(readEnd, buffer, sizeof buffer)) > 0)
        result.append(buffer, static_cast<std::size_t>(n));
    ::close(readEnd);
    int status = 0;
    ::waitpid(child, &status, 0);
    return result;
}

// Runs `body` in a child process that, when the tests run as root, has dropped to the user
// nobody first, and returns what the body returned. Without root the child is the user
// running the tests, who is just as unprivileged.
std::string asUnprivilegedUser(const std::function<std::string()>& body) {
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) return "<no pipe>";
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(pipeFds[0]);
        std::string result;
        if (::geteuid() == 0 && (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 ||
                                 ::setuid(kNobody) != 0))
            result = "<cannot drop privileges>";
        else
            result = body();
        (void)!::write(pipeFds[1], result.data(), result.size());
        ::_exit(0);
    }
    ::close(pipeFds[1]);
    return answerOf(pipeFds[0], pid);
}

// A folder that the unprivileged user may write in, as the folders of shared projects are.
struct SharedFolder {
    SharedFolder() { fs::permissions(dir.path(), fs::perms::all); }
    test::TempDir dir;
};

TEST(AtomicWrite, WhatIsNotAPlainFileIsRefusedAndLeftAsItIs) {
    test::TempDir dir;
    const std::string folder = dir.file("folder");
    fs::create_directory(folder);
    const std::string fifo = dir.file("pipe");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    const std::string socketPath = dir.file("sock");
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, socketPath.c_str(), sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    // A device node of our own (the null device's numbers) where we may make one; otherwise a
    // link to the system's null device, which an unprivileged user could not replace anyway.
    const std::string device = dir.file("null");
    if (::mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0)
        fs::create_symlink("/dev/null", device);

    const struct {
        std::string path;
        std::string what;
        bool (*stillIs)(fs::file_status);
    } cases[] = {
        {folder, "a directory", [](fs::file_status s) { return fs::is_directory(s); }},
        {fifo, "a named pipe (FIFO)", [](fs::file_status s) { return fs::is_fifo(s); }},
        {socketPath, "a socket", [](fs::file_status s) { return fs::is_socket(s); }},
        {device, "a device", [](fs::file_status s) { return fs::is_character_file(s); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(WriteFileAtomically(c.path, "S9030000FC\r\n"),
                  "Cannot write " + c.path + ": It is " + c.what + ", not a plain file.");
        EXPECT_TRUE(c.stillIs(fs::status(c.path)));
    }
    EXPECT_EQ(leftovers(dir.path()), std::vector<std::string>{});
    ::close(sock);
}

TEST(AtomicWrite, ASymbolicLinkIsFollowedAndItsTargetReplacedInItsFolder) {
    test::TempDir dir;
    fs::create_directory(dir.file("real"));
    fs::create_directory(dir.file("links"));
    const std::string target = dir.file("real/image.s19");
    const struct {
        std::string link;
        std::string pointsTo;  // what the (first) link holds
    } cases[] = {
        {dir.file("links/absolute.s19"), target},
        {dir.file("links/relative.s19"), "../real/image.s19"},
        {dir.file("links/chain.s19"), "absolute.s19"},  // a link to the first link
    };
    int round = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.link);
        test::WriteText(target, "old");
        if (!fs::is_symlink(fs::symlink_status(c.link))) fs::create_symlink(c.pointsTo, c.link);
        const std::string contents = "new " + std::to_string(++round);
        EXPECT_EQ(WriteFileAtomically(c.link, contents), "");
        EXPECT_TRUE(fs::is_symlink(fs::symlink_status(c.link)));
        EXPECT_EQ(fs::read_symlink(c.link).string(), c.pointsTo);
        EXPECT_EQ(*ReadWholeFile(target), contents);
    }
    EXPECT_EQ(leftovers(dir.file("links")), std::vector<std::string>{});
    EXPECT_EQ(leftovers(dir.file("real")), std::vector<std::string>{});

    // A link to a file not yet there makes that file; links in a circle are refused.
    fs::create_symlink("../real/new.s19", dir.file("links/dangling.s19"));
    EXPECT_EQ(WriteFileAtomically(dir.file("links/dangling.s19"), "made"), "");
    EXPECT_EQ(*ReadWholeFile(dir.file("real/new.s19")), "made");
    fs::create_symlink("loop-b", dir.file("links/loop-a"));
    fs::create_symlink("loop-a", dir.file("links/loop-b"));
    EXPECT_EQ(WriteFileAtomically(dir.file("links/loop-a"), "x"),
              "Cannot write " + dir.file("links/loop-a") + ": Too many levels of symbolic links");
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(dir.file("links/loop-a"))));
}

TEST(AtomicWrite, AnExistingFileKeepsItsModeAndOwner) {
    test::TempDir dir;
    const bool root = ::geteuid() == 0;
    for (const mode_t mode : {0600, 0640, 0664, 0755}) {
        SCOPED_TRACE(mode);
        const std::string path = dir.file("m" + std::to_string(mode));
        test::WriteText(path, "old");
        ASSERT_EQ(::chmod(path.c_str(), mode), 0);
        // As root the file belongs to someone else, as files in shared folders do.
        if (root) {
            ASSERT_EQ(::chown(path.c_str(), kNobody, kNobody), 0);
        }
        const struct stat before = statOf(path);
        EXPECT_EQ(WriteFileAtomically(path, "new"), "");
        const struct stat after = statOf(path);
        EXPECT_EQ(after.st_mode & 07777, mode);
        EXPECT_EQ(after.st_uid, before.st_uid);
        EXPECT_EQ(after.st_gid, before.st_gid);
        EXPECT_EQ(*ReadWholeFile(path), "new");
    }
    // A new file gets what the umask leaves of 0666.
    const mode_t mask = ::umask(022);
    EXPECT_EQ(WriteFileAtomically(dir.file("fresh"), "x"), "");
    ::umask(mask);
    EXPECT_EQ(statOf(dir.file("fresh")).st_mode & 07777, 0644u);
}

TEST(AtomicWrite, WhatTheUserCouldNotWriteIsRefusedWithPermissionDenied) {
    SharedFolder shared;
    const std::string othersFile = shared.dir.file("others.s19");
    const std::string readOnly = shared.dir.file("readonly.s19");
    const std::string closedFolder = shared.dir.file("closed");
    test::WriteText(othersFile, "theirs");
    fs::create_directory(closedFolder);
    fs::permissions(closedFolder, fs::perms::owner_all | fs::perms::group_read |
                                      fs::perms::group_exec | fs::perms::others_read |
                                      fs::perms::others_exec);
    const bool root = ::geteuid() == 0;
    // The unprivileged user: a file of root's in a folder open to all (only with root), a
    // read-only file of the user's own, a new file in a folder closed to the user.
    const std::string results = asUnprivilegedUser([&] {
        std::string out;
        test::WriteText(readOnly, "mine");
        ::chmod(readOnly.c_str(), 0444);
        if (root) out += WriteFileAtomically(othersFile, "replaced") + "\n";
        out += WriteFileAtomically(readOnly, "replaced") + "\n";
        if (root) out += WriteFileAtomically(closedFolder + "/new.s19", "new") + "\n";
        return out;
    });
    std::string expected;
    if (root) expected += "Cannot write " + othersFile + ": Permission denied\n";
    expected += "Cannot write " + readOnly + ": Permission denied\n";
    if (root) expected += "Cannot write " + closedFolder + "/new.s19: Permission denied\n";
    EXPECT_EQ(results, expected);
    EXPECT_EQ(*ReadWholeFile(othersFile), "theirs");
    EXPECT_EQ(*ReadWholeFile(readOnly), "mine");
    EXPECT_FALSE(fs::exists(closedFolder + "/new.s19"));
    EXPECT_EQ(leftovers(shared.dir.path()), std::vector<std::string>{});

    // Root may write what root could open for writing: the read-only file is written, and
    // stays read-only.
    if (root) {
        EXPECT_EQ(WriteFileAtomically(readOnly, "root's"), "");
        EXPECT_EQ(*ReadWholeFile(readOnly), "root's");
        EXPECT_EQ(statOf(readOnly).st_mode & 07777, 0444u);
    }
}

TEST(AtomicWrite, HardLinksKeepSharingTheFile) {
    test::TempDir dir;
    const std::string a = dir.file("a.s19");
    const std::string b = dir.file("b.s19");
    test::WriteText(a, std::string(1000, 'o'));
    fs::create_hard_link(a, b);
    const ino_t inode = statOf(a).st_ino;
    for (const std::string& contents : {std::string("shorter"), std::string(5000, 'L')}) {
        EXPECT_EQ(WriteFileAtomically(a, contents), "");
        EXPECT_EQ(*ReadWholeFile(b), contents);
        EXPECT_EQ(statOf(a).st_ino, inode);
        EXPECT_EQ(statOf(b).st_nlink, 2u);
    }
    EXPECT_EQ(leftovers(dir.path()), std::vector<std::string>{});
}

TEST(AtomicWrite, TheEarlyCheckSaysWhatTheWriteWouldSay) {
    SharedFolder shared;
    const std::string fifo = shared.dir.file("pipe");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    const std::string closed = shared.dir.file("closed");
    fs::create_directory(closed);
    fs::permissions(closed, fs::perms::owner_all | fs::perms::others_read |
                                fs::perms::others_exec);
    test::WriteText(shared.dir.file("root.s19"), "x");
    const bool root = ::geteuid() == 0;
    const struct {
        std::string path;
        std::string message;  // empty: the write goes ahead
        bool unprivileged;    // checked as the unprivileged user (meaningful under root)
    } cases[] = {
        {shared.dir.file("new.s19"), "", false},
        {shared.dir.file("root.s19"), "", false},
        {shared.dir.file("missing/new.s19"),
         "Cannot write " + shared.dir.file("missing/new.s19") + ": No such file or directory",
         false},
        {fifo, "Cannot write " + fifo + ": It is a named pipe (FIFO), not a plain file.", false},
        {closed + "/new.s19",
         root ? "Cannot write " + closed + "/new.s19: Permission denied" : "", true},
        {shared.dir.file("root.s19"),
         root ? "Cannot write " + shared.dir.file("root.s19") + ": Permission denied" : "", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        // The check first, then the write itself: both say the same.
        auto both = [&c] {
            return CheckFileWritable(c.path) + "|" + WriteFileAtomically(c.path, "new");
        };
        EXPECT_EQ(c.unprivileged ? asUnprivilegedUser(both) : both(),
                  c.message + "|" + c.message);
    }
}

TEST(FileRead, FilesThatReportNoSizeAreReadToTheirEnd) {
    // /proc files report size 0 and have content.
    ASSERT_EQ(fs::file_size("/proc/self/status"), 0u);
    std::string bytes;
    EXPECT_EQ(ReadFileToEnd("/proc/self/status", bytes), "");
    EXPECT_EQ(bytes.rfind("Name:", 0), 0u) << bytes.substr(0, 40);
    EXPECT_EQ(readTextFile("/proc/self/status", bytes), "");
    EXPECT_EQ(bytes.rfind("Name:", 0), 0u) << bytes.substr(0, 40);
    EXPECT_EQ(readFileBytes("/proc/self/status", 0, 1 << 20, bytes), "");
    EXPECT_EQ(bytes.rfind("Name:", 0), 0u) << bytes.substr(0, 40);
    // Files that fill a bounded window are cut at the window, not at the reported size.
    EXPECT_EQ(readFileBytes("/proc/self/status", 2, 3, bytes), "");
    EXPECT_EQ(bytes, "me:");
}

TEST(FileRead, AReadErrorIsReportedNotTakenAsAnEmptyFile) {
    test::TempDir dir;
    const std::string fifo = dir.file("pipe");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    std::string bytes = "stale";
    // /proc/self/mem is a plain file of size 0 whose first page cannot be read.
    const struct {
        std::string path;
        std::string message;
    } cases[] = {
        {"/proc/self/mem", "Cannot read /proc/self/mem: Input/output error"},
        {fifo, "Cannot read " + fifo + ": It is a named pipe (FIFO), not a plain file."},
        {dir.path(), "Cannot read " + dir.path() + ": It is a directory, not a plain file."},
        {dir.file("missing"), "Cannot read " + dir.file("missing") + ": No such file or directory"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(ReadFileToEnd(c.path, bytes), c.message);
        EXPECT_EQ(bytes, "");
        EXPECT_EQ(ReadWholeFile(c.path), std::nullopt);
    }
    // The image files' reader says the same.
    EXPECT_EQ(readTextFile(fifo, bytes),
              "Cannot open file \"" + fifo + "\". It is a named pipe (FIFO), not a plain file.");
    EXPECT_EQ(readTextFile("/proc/self/mem", bytes),
              "Cannot read file \"/proc/self/mem\". Input/output error");
    // A file the user may not read.
    const std::string secret = dir.file("secret");
    test::WriteText(secret, "x");
    ::chmod(secret.c_str(), 0600);
    EXPECT_EQ(asUnprivilegedUser([&] {
                  std::string b;
                  return ReadFileToEnd(secret, b);
              }),
              ::geteuid() == 0 ? "Cannot read " + secret + ": Permission denied" : std::string());
}

// Runs `body` in a child process traced by strace with `options` (which trace readlink among
// other calls); meanwhile, as soon as `ready()` holds, `act()` runs here. Returns what `body`
// returned, or what went wrong around it.
std::string underStrace(const std::vector<std::string>& options,
                        const std::function<std::string()>& body,
                        const std::function<bool()>& ready, const std::function<void()>& act) {
    test::TempDir marks;
    // Once strace has the child in hand, reading this name as a link fails with EXDEV.
    const std::string armed = marks.file("armed");
    test::WriteText(armed, "");
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) return "<no pipe>";
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipeFds[0]);
        // Where Yama restricts tracing to a process's ancestors, strace (a sibling) may trace
        // this one all the same.
        (void)::prctl(PR_SET_PTRACER, PR_SET_PTRACER_ANY);
        char link[8];
        bool held = false;
        for (int i = 0; i < 30000 && !held; ++i) {
            held = ::readlink(armed.c_str(), link, sizeof link) < 0 && errno == EXDEV;
            if (!held) ::usleep(1000);
        }
        const std::string result = held ? body() : "<strace did not take hold>";
        (void)!::write(pipeFds[1], result.data(), result.size());
        ::_exit(0);
    }
    ::close(pipeFds[1]);
    const pid_t tracer = ::fork();
    if (tracer == 0) {
        std::vector<std::string> args = {"strace", "-qq", "-o", "/dev/null", "-P", armed};
        args.insert(args.end(), options.begin(), options.end());
        for (const char* a : {"-e", "inject=readlink:error=EXDEV", "-p"}) args.emplace_back(a);
        args.push_back(std::to_string(child));
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        ::execvp("strace", argv.data());
        ::_exit(127);
    }
    bool acted = false;
    for (int i = 0; i < 30000 && !acted; ++i) {
        if ((acted = ready())) act();
        else ::usleep(1000);
    }
    // The write must end: a pipe that took the file's name must not hold it.
    std::string result;
    pollfd answer{pipeFds[0], POLLIN, 0};
    if (::poll(&answer, 1, 30000) <= 0) {
        ::kill(child, SIGKILL);
        result = "<the write hung>";
    }
    result += answerOf(pipeFds[0], child);
    int status = 0;
    ::waitpid(tracer, &status, 0);
    return acted ? result : "<never ready> " + result;
}

// A file with two names is written in place. Should another file, a symbolic link or a named
// pipe take its name between the checks and the write, the write leaves it alone, does not
// hang, keeps the file it checked as it was, and names the copy that holds the new contents.
TEST(AtomicWrite, AFileReplacedBeforeTheInPlaceWriteIsLeftAlone) {
    test::TempDir dir;
    const std::string a = dir.file("a.s19");
    const std::string b = dir.file("b.s19");
    const std::string victim = dir.file("victim.s19");
    const struct {
        const char* what;
        std::function<void()> swap;
        bool (*stillIs)(fs::file_status);
    } cases[] = {
        {"a named pipe", [&] { ::mkfifo(a.c_str(), 0644); },
         [](fs::file_status s) { return fs::is_fifo(s); }},
        {"a symbolic link", [&] { fs::create_symlink(victim, a); },
         [](fs::file_status s) { return fs::is_symlink(s); }},
        {"another file", [&] { test::WriteText(a, "another"); },
         [](fs::file_status s) { return fs::is_regular_file(s); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove(a);
        fs::remove(b);
        test::WriteText(a, "old");
        fs::create_hard_link(a, b);
        test::WriteText(victim, "victim");
        // The in-place write's open waits three seconds, the swap happens meanwhile.
        const std::string result = underStrace(
            {"-P", a, "-e", "trace=openat,readlink", "-e",
             "inject=openat:delay_enter=3000000:when=1"},
            [&] { return WriteFileAtomically(a, "new contents"); },
            [&] { return !leftovers(dir.path()).empty(); },
            [&] {
                fs::remove(a);
                c.swap();
            });
        const std::vector<std::string> temps = leftovers(dir.path());
        ASSERT_EQ(temps.size(), 1u) << result;
        EXPECT_EQ(result, "Cannot write " + a +
                              ": It was replaced while it was being saved. The complete new "
                              "contents are kept in " + temps[0]);
        EXPECT_EQ(test::FileText(temps[0]), "new contents");
        EXPECT_EQ(test::FileText(b), "old");
        EXPECT_EQ(test::FileText(victim), "victim");
        EXPECT_TRUE(c.stillIs(fs::symlink_status(a)));
        if (std::string(c.what) == "another file") {
            EXPECT_EQ(test::FileText(a), "another");
        }
        fs::remove(temps[0]);
    }
}

// Runs `body` in a child process that sees a file system of `kib` KiB mounted on `folder`, in
// a mount namespace of its own (so that nothing stays mounted). Without the right to make one,
// "<no namespace>".
std::string onSmallFileSystem(const std::string& folder, int kib,
                              const std::function<std::string()>& body) {
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) return "<no pipe>";
    const uid_t uid = ::geteuid();
    const gid_t gid = ::getegid();
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipeFds[0]);
        auto writeFile = [](const char* name, const std::string& text) {
            const int fd = ::open(name, O_WRONLY | O_CLOEXEC);
            const bool ok = fd >= 0 && ::write(fd, text.data(), text.size()) ==
                                           static_cast<ssize_t>(text.size());
            if (fd >= 0) ::close(fd);
            return ok;
        };
        // Root makes a mount namespace; another user a user namespace with one too, in
        // which the user is root.
        bool ok = ::unshare(CLONE_NEWNS) == 0;
        if (!ok && ::unshare(CLONE_NEWUSER | CLONE_NEWNS) == 0)
            ok = writeFile("/proc/self/setgroups", "deny") &&
                 writeFile("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1") &&
                 writeFile("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1");
        const std::string size = "size=" + std::to_string(kib) + "k,mode=0777";
        ok = ok && ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
             ::mount("jqz-small", folder.c_str(), "tmpfs", 0, size.c_str()) == 0;
        const std::string result = ok ? body() : "<no namespace>";
        (void)!::write(pipeFds[1], result.data(), result.size());
        ::_exit(0);
    }
    ::close(pipeFds[1]);
    return answerOf(pipeFds[0], child);
}

// A file with two names on a disk that holds the new contents once (the safe copy) but not a
// second time: the in-place write is refused before it begins, and the old contents stay
// whole under both names. Where no small file system can be mounted, the full disk is
// forced: strace makes the reservation of space fail as a full disk would.
TEST(AtomicWrite, AFullDiskRefusesTheInPlaceWriteWhileTheOldFileIsWhole) {
    test::TempDir dir;
    const std::string mountPoint = dir.file("small");
    fs::create_directory(mountPoint);
    const std::string oldContents(4096, 'o');
    const std::string newContents(96 * 1024, 'N');
    auto scenario = [&](const std::string& folder, const std::function<std::string()>& write) {
        const std::string a = folder + "/a.s19";
        const std::string b = folder + "/b.s19";
        test::WriteText(a, oldContents);
        fs::create_hard_link(a, b);
        const std::string result = write();
        std::string out = result + "\n";
        out += test::FileText(a) == oldContents ? "a whole\n" : "a changed\n";
        out += test::FileText(b) == oldContents ? "b whole\n" : "b changed\n";
        for (const std::string& temp : leftovers(folder))
            out += "kept " + std::string(test::FileText(temp) == newContents ? "complete" : "cut") + "\n";
        return out;
    };
    // 256 KiB, of which a filler takes all but room for the new contents and a little more.
    std::string result = onSmallFileSystem(mountPoint, 256, [&] {
        test::WriteText(mountPoint + "/filler", std::string(144 * 1024, 'f'));
        return scenario(mountPoint, [&] { return WriteFileAtomically(mountPoint + "/a.s19", newContents); });
    });
    const std::string a = (result == "<no namespace>" ? dir.path() : mountPoint) + "/a.s19";
    const bool forced = result == "<no namespace>";
    SCOPED_TRACE(forced ? "no small file system: the full disk forced by strace"
                        : "on a small file system");
    if (forced) {
        result = scenario(dir.path(), [&] {
            return underStrace({"-P", a, "-e", "trace=fallocate,readlink", "-e",
                                "inject=fallocate:error=ENOSPC"},
                               [&] { return WriteFileAtomically(a, newContents); },
                               [] { return true; }, [] {});
        });
    }
    ASSERT_NE(result.find("kept"), std::string::npos) << result;
    const std::string temp = result.substr(0, result.find('\n'));
    EXPECT_EQ(result.substr(result.find('\n') + 1), "a whole\nb whole\nkept complete\n");
    EXPECT_EQ(temp.substr(0, temp.find(" The complete")),
              "Cannot write " + a + ": No space left on device. The file is as it was.");
}

// The temporary name beside a file stays within the folder's limit on name lengths, so that
// a file whose name is at the limit is written like any other; a longer name is refused by
// the early check as by the write.
TEST(AtomicWrite, NamesAtTheLengthLimitAreWritten) {
    test::TempDir dir;
    // 255 bytes, the name cut for the temporary name falling inside a two-byte character.
    const std::string name = std::string(250, 'n') + "\xC3\xA9" + ".s1";
    ASSERT_EQ(name.size(), 255u);
    const std::string path = dir.file(name);
    for (const char* round : {"new", "replaced", "linked"}) {
        SCOPED_TRACE(round);
        if (std::string(round) == "linked") fs::create_hard_link(path, dir.file("second"));
        const std::string contents = std::string("contents ") + round;
        EXPECT_EQ(CheckFileWritable(path), "");
        EXPECT_EQ(WriteFileAtomically(path, contents), "");
        EXPECT_EQ(test::FileText(path), contents);
        EXPECT_EQ(leftovers(dir.path()), std::vector<std::string>{});
    }
    EXPECT_EQ(test::FileText(dir.file("second")), "contents linked");
    const std::string tooLong = dir.file("x" + name);
    EXPECT_EQ(CheckFileWritable(tooLong), "Cannot write " + tooLong + ": File name too long");
    EXPECT_EQ(WriteFileAtomically(tooLong, "x"), "Cannot write " + tooLong + ": File name too long");
}

// In a folder with the sticky bit (as /tmp) a file is replaced by renaming over it only by its
// owner: another user's file that the user may write is refused, by the early check as by the
// write, and left as it was. The user's own file there, and a file with two names (written in
// place), are written.
TEST(AtomicWrite, AStickyFolderKeepsOtherUsersFilesTheirs) {
    SharedFolder shared;
    fs::permissions(shared.dir.path(), fs::perms::all | fs::perms::sticky_bit);
    const std::string theirs = shared.dir.file("theirs.s19");
    const std::string linked = shared.dir.file("linked.s19");
    const std::string mine = shared.dir.file("mine.s19");
    for (const std::string& path : {theirs, linked}) {
        test::WriteText(path, "theirs");
        ::chmod(path.c_str(), 0666);
    }
    fs::create_hard_link(linked, shared.dir.file("linked-too.s19"));
    const bool root = ::geteuid() == 0;
    const std::string results = asUnprivilegedUser([&] {
        std::string out;
        out += CheckFileWritable(theirs) + "|" + WriteFileAtomically(theirs, "replaced") + "\n";
        out += WriteFileAtomically(linked, "replaced") + "\n";
        test::WriteText(mine, "mine");
        out += WriteFileAtomically(mine, "replaced") + "\n";
        return out;
    });
    const std::string refusal =
        "Cannot write " + theirs +
        ": Operation not permitted. In this folder only the file's owner may replace it (the "
        "folder has the sticky bit).";
    // Without root the test's user owns every file, and every write goes ahead.
    EXPECT_EQ(results, root ? refusal + "|" + refusal + "\n\n\n" : "|\n\n\n");
    EXPECT_EQ(test::FileText(theirs), root ? "theirs" : "replaced");
    EXPECT_EQ(test::FileText(linked), "replaced");
    EXPECT_EQ(test::FileText(mine), "replaced");
    EXPECT_EQ(leftovers(shared.dir.path()), std::vector<std::string>{});
}

// The extended attributes of a replaced file, its access control list among them, are those
// it had, as its mode is.
TEST(AtomicWrite, AnExistingFileKeepsItsAccessListAndExtendedAttributes) {
    test::TempDir dir;
    const std::string path = dir.file("acl.s19");
    test::WriteText(path, "old");
    // user::rw- user:nobody:r-- group::r-- mask::r-- other::---, as setfacl stores it.
    auto entry = [](std::uint16_t tag, std::uint16_t perm, std::uint32_t id) {
        std::string e(8, '\0');
        std::memcpy(e.data(), &tag, 2);
        std::memcpy(e.data() + 2, &perm, 2);
        std::memcpy(e.data() + 4, &id, 4);
        return e;
    };
    const std::uint32_t version = 2;
    std::string acl(reinterpret_cast<const char*>(&version), 4);
    acl += entry(0x01, 6, 0xFFFFFFFF) + entry(0x02, 4, kNobody) + entry(0x04, 4, 0xFFFFFFFF) +
           entry(0x10, 4, 0xFFFFFFFF) + entry(0x20, 0, 0xFFFFFFFF);
    const struct {
        const char* name;
        std::string value;
    } attributes[] = {{"system.posix_acl_access", acl}, {"user.origin", "read from an E9"}};
    for (const auto& a : attributes)
        if (::setxattr(path.c_str(), a.name, a.value.data(), a.value.size(), 0) != 0)
            GTEST_SKIP() << "the folder's file system keeps no " << a.name << ": "
                         << std::strerror(errno);
    const mode_t mode = statOf(path).st_mode & 07777;
    for (const bool linked : {false, true}) {
        SCOPED_TRACE(linked ? "written in place" : "replaced");
        if (linked) fs::create_hard_link(path, dir.file("second"));
        EXPECT_EQ(WriteFileAtomically(path, "new"), "");
        EXPECT_EQ(test::FileText(path), "new");
        for (const auto& a : attributes) {
            SCOPED_TRACE(a.name);
            std::string value(256, '\0');
            const ssize_t n = ::getxattr(path.c_str(), a.name, value.data(), value.size());
            value.resize(n < 0 ? 0 : static_cast<std::size_t>(n));
            EXPECT_EQ(value, a.value);
        }
        EXPECT_EQ(statOf(path).st_mode & 07777, mode);
    }
}

}  // namespace
}  // namespace jqz
