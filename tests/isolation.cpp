// Every test case runs in a world of its own: a fresh folder that is its working folder, its
// HOME, its XDG folders and its TMPDIR, removed when the case ends; the time zone and the
// locale are fixed. So a test sees no settings file, log or temporary file of the user's or of
// another test, and two runs of the same build at once do not meet.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <random>
#include <string>

namespace {

class IsolatedCase : public ::testing::EmptyTestEventListener {
public:
    IsolatedCase() {
        const char* tmp = ::getenv("TMPDIR");
        base_ = tmp != nullptr && *tmp != '\0' ? tmp : "/tmp";
        std::error_code ec;
        original_ = std::filesystem::current_path(ec);
    }

    void OnTestStart(const ::testing::TestInfo&) override {
        std::random_device random;
        for (;;) {
            folder_ = base_ / ("jqz-test-" + std::to_string(random()));
            std::error_code ec;
            if (std::filesystem::create_directory(folder_, ec)) break;
            if (ec && !std::filesystem::exists(folder_)) return;  // no place: run as it is
        }
        for (const char* sub : {"home", "config", "state", "cache", "data", "runtime", "tmp"}) {
            std::error_code ec;
            std::filesystem::create_directory(folder_ / sub, ec);
        }
        std::filesystem::permissions(folder_ / "runtime", std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::replace);
        set("HOME", "home");
        set("XDG_CONFIG_HOME", "config");
        set("XDG_STATE_HOME", "state");
        set("XDG_CACHE_HOME", "cache");
        set("XDG_DATA_HOME", "data");
        set("XDG_RUNTIME_DIR", "runtime");
        set("TMPDIR", "tmp");
        ::setenv("TZ", "UTC", 1);
        ::tzset();
        std::error_code ec;
        std::filesystem::current_path(folder_, ec);
    }

    void OnTestEnd(const ::testing::TestInfo&) override {
        if (folder_.empty()) return;
        std::error_code ec;
        std::filesystem::current_path(original_, ec);
        ::setenv("TMPDIR", base_.c_str(), 1);
        std::filesystem::remove_all(folder_, ec);
        folder_.clear();
    }

private:
    void set(const char* name, const char* sub) {
        ::setenv(name, (folder_ / sub).c_str(), 1);
    }

    std::filesystem::path base_;
    std::filesystem::path original_;
    std::filesystem::path folder_;
};

const bool kRegistered = [] {
    ::testing::UnitTest::GetInstance()->listeners().Append(new IsolatedCase);
    return true;
}();

}  // namespace
#endif
