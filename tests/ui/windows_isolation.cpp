// Under Windows every window test program runs in a world of its own: a fresh folder that is
// its working folder, %APPDATA%, %LOCALAPPDATA%, %USERPROFILE%, %TEMP% and %TMP%, removed when
// the program ends, with the same fonts every time. So a test sees no settings file or log of
// another test, and two runs of the same build at once do not meet.
#include <windows.h>

#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

namespace {

class IsolatedProgram {
public:
    IsolatedProgram() {
        wchar_t temp[MAX_PATH + 1];
        const DWORD n = ::GetTempPathW(MAX_PATH + 1, temp);
        base_ = n > 0 && n <= MAX_PATH ? std::filesystem::path(temp) : std::filesystem::current_path();
        std::random_device random;
        for (;;) {
            folder_ = base_ / (L"jqz-test-" + std::to_wstring(random()));
            std::error_code ec;
            if (std::filesystem::create_directory(folder_, ec)) break;
            if (ec && !std::filesystem::exists(folder_)) {  // no place: run as it is
                folder_.clear();
                return;
            }
        }
        set(L"APPDATA", L"appdata");
        set(L"LOCALAPPDATA", L"local");
        set(L"USERPROFILE", L"profile");
        set(L"TEMP", L"tmp");
        set(L"TMP", L"tmp");
        std::error_code ec;
        std::filesystem::current_path(folder_, ec);
#ifdef JQZ_TEST_FONT_DIR
        // The offscreen platform draws text with the fonts of this folder (Wine passes no
        // QT_ variable of the caller's through).
        ::_wputenv_s(L"QT_QPA_FONTDIR", JQZ_TEST_FONT_DIR);
#endif
    }

    ~IsolatedProgram() {
        if (folder_.empty()) return;
        std::error_code ec;
        std::filesystem::current_path(base_, ec);
        std::filesystem::remove_all(folder_, ec);
    }

    IsolatedProgram(const IsolatedProgram&) = delete;
    IsolatedProgram& operator=(const IsolatedProgram&) = delete;

private:
    void set(const wchar_t* name, const wchar_t* sub) {
        const std::filesystem::path path = folder_ / sub;
        std::error_code ec;
        std::filesystem::create_directory(path, ec);
        ::_wputenv_s(name, path.c_str());
        ::SetEnvironmentVariableW(name, path.c_str());
    }

    std::filesystem::path base_;
    std::filesystem::path folder_;
};

const IsolatedProgram kIsolated;

}  // namespace
