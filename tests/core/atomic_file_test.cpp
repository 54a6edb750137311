// Saving replaces only plain files, keeps what it replaces (mode, owner, links) and refuses
// what the user could not write; reading goes to a file's end and reports read errors.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <grp.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>

#include "core/app/atomic_file.h"
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
    std::string result;
    char buffer[512];
    ssize_t n;
    while ((n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0) result.append(buffer, static_cast<std::size_t>(n));
    ::close(pipeFds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return result;
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

}  // namespace
}  // namespace jqz
