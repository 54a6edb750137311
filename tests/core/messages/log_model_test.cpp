#include <gtest/gtest.h>

#include <cstdlib>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <thread>

#include "core/messages/log_model.h"
#include "test_support.h"

namespace jqz {
namespace {

TEST(LogModel, KindsPrefixesAndDisplay) {
    struct Case {
        const char* text;
        int kind;
        const char* stored;
        const char* shown;
        int shownKind;
    };
    const Case cases[] = {
        {"found", LogInfo, "0found", " found", LogInfo},
        {"port", LogNotice, "1port", " port", LogNotice},
        {"", LogError, "2", " ", LogError},
        {"abc", 7, "0abc", " abc", LogInfo},
        {"2 lines", -1, "02 lines", " 2 lines", LogInfo},
    };
    LogModel log;
    for (const auto& c : cases) log.AddLogLine(c.text, c.kind);
    ASSERT_EQ(log.count(), std::size(cases));
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(log.storedLine(i), cases[i].stored);
        EXPECT_EQ(LogModel::DisplayText(log.storedLine(i)), cases[i].shown);
        EXPECT_EQ(LogModel::KindOf(log.storedLine(i)), cases[i].shownKind);
    }
}

TEST(LogModel, FileTextHasTheHeaderThenEveryLineWithoutItsKind) {
    LogModel log;
    log.AddLogLine("abc", 7);
    log.AddLogLine("", LogError);
    log.AddLogLine("1 starts with a digit", LogNotice);
    EXPECT_EQ(log.FileText("Stored: 10/12/26 12:00:00"),
              "Stored: 10/12/26 12:00:00\r\nabc\r\n\r\n1 starts with a digit\r\n");
}

TEST(LogModel, ClearEmptiesTheLogAndTheNextLineIsTheFirst) {
    LogModel log;
    std::vector<std::size_t> appended;
    log.setAppendHandler([&](std::size_t i) { appended.push_back(i); });
    log.AddLogLine("old", LogInfo);
    log.AddLogLine("older", LogError);
    log.clear();
    EXPECT_EQ(log.count(), 0u);
    EXPECT_EQ(log.FileText("H"), "H\r\n");
    log.AddLogLine("new", LogNotice);
    EXPECT_EQ(log.storedLines(), std::vector<std::string>{"1new"});
    EXPECT_EQ(appended, (std::vector<std::size_t>{0, 1, 0}));
}

TEST(LogModel, LinesFromManyThreadsAllArriveInEachThreadsOrder) {
    LogModel log;
    std::atomic<int> notified{0};
    log.setAppendHandler([&](std::size_t) { ++notified; });
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&log, t] {
            for (int i = 0; i < 500; ++i)
                log.AddLogLine(std::to_string(t) + ":" + std::to_string(i), LogInfo);
        });
    for (auto& th : threads) th.join();
    EXPECT_EQ(log.count(), 2000u);
    EXPECT_EQ(notified.load(), 2000);
    std::vector<int> next(4, 0);
    for (const auto& line : log.storedLines()) {
        const int t = line[1] - '0';
        EXPECT_EQ(std::stoi(line.substr(3)), next[static_cast<std::size_t>(t)]++);
    }
}

TEST(LogModel, LogFileGoesBesideAProgramInAFolderOfTheUsersOwn) {
    test::TempDir program, user;
    const std::string beside = program.file("6811prog.log"), away = user.file("6811prog.log");
#ifdef _WIN32
    // Windows keeps a program's state in %APPDATA%, whatever folder the program lies in.
    EXPECT_EQ(ChooseLogFilePath(program.path(), false, user.path()), away);
    (void)beside;
#else
    EXPECT_EQ(ChooseLogFilePath(program.path(), false, user.path()), beside);
#endif
    // An installed program leaves nothing beside itself, even in a folder it may write.
    EXPECT_EQ(ChooseLogFilePath(program.path(), true, user.path()), away);
    EXPECT_EQ(ChooseLogFilePath(program.file("missing"), false, user.path()), away);
#ifndef _WIN32
    // Folders of another user, one that user "nobody" may write and one it may not. Root
    // owns the folders; the choice is made in a child process that runs as "nobody" when the
    // test runs as root. Any other user takes the root folder, which is root's and read-only.
    ::chmod(program.path().c_str(), 0777);
    test::TempDir readOnly;
    ::chmod(readOnly.path().c_str(), 0555);
    EXPECT_EXIT(
        {
            if (::geteuid() == 0) {
                if (::setgid(65534) != 0 || ::setuid(65534) != 0) std::_Exit(2);
                if (::access(program.path().c_str(), W_OK) != 0) std::_Exit(3);  // writable to all
                if (ChooseLogFilePath(program.path(), false, user.path()) != away) std::_Exit(4);
                if (ChooseLogFilePath(readOnly.path(), false, user.path()) != away) std::_Exit(5);
            }
            std::_Exit(ChooseLogFilePath("/", false, user.path()) == away ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
    ::chmod(readOnly.path().c_str(), 0755);
    ::chmod(program.path().c_str(), 0755);
#endif
}

#ifndef _WIN32
// The user's folder follows the base directory rules; a relative XDG_STATE_HOME counts as unset.
TEST(LogModel, UsersLogFolderIsTheStateFolder) {
    struct Case {
        const char* state;  // nullptr: unset
        const char* home;
        const char* folder;
    };
    const Case cases[] = {
        {"/s/state", "/h/me", "/s/state/jqz6811"},
        {nullptr, "/h/me", "/h/me/.local/state/jqz6811"},
        {"", "/h/me", "/h/me/.local/state/jqz6811"},
        {"relative/state", "/h/me", "/h/me/.local/state/jqz6811"},
    };
    const test::ScopedEnv state("XDG_STATE_HOME", nullptr);
    const test::ScopedEnv home("HOME", nullptr);
    for (const Case& c : cases) {
        state.set(c.state);
        home.set(c.home);
        EXPECT_EQ(DefaultLogFolder(), c.folder) << (c.state != nullptr ? c.state : "(unset)");
    }
}
#endif

}  // namespace
}  // namespace jqz
