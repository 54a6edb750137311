#include <gtest/gtest.h>

#include <cstdlib>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <thread>

#include "core/app/log_model.h"
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

TEST(LogModel, LogFileGoesBesideTheProgramWhenWritable) {
    test::TempDir program, settings;
    EXPECT_EQ(ChooseLogFilePath(program.path(), settings.path()), program.file("6811prog.log"));
#ifndef _WIN32
    // A program folder that exists but cannot be written. Root writes everywhere, so the
    // choice is made in a child process that gives root's rights up first (user and group
    // "nobody"); any other user makes it as it is.
    ::chmod(program.path().c_str(), 0555);
    const std::string beside = settings.file("6811prog.log");
    EXPECT_EXIT(
        {
            if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) std::_Exit(2);
            if (::access(program.path().c_str(), X_OK) != 0) std::_Exit(3);  // must be reachable
            std::_Exit(ChooseLogFilePath(program.path(), settings.path()) == beside ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
    ::chmod(program.path().c_str(), 0755);
#endif
    EXPECT_EQ(ChooseLogFilePath(program.file("missing"), settings.path()),
              settings.file("6811prog.log"));
}

}  // namespace
}  // namespace jqz
