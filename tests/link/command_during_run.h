#pragma once
// What the tests of a user command made while a sequence runs share: a message sink that
// keeps what it was told, and a fresh folder of the test's own for the files it writes.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/messages/log_model.h"
#include "core/messages/message_sink.h"
#include "core/files/load_file.h"
#include "core/files/records.h"
#include "core/image/hex_edit_model.h"

namespace jqz::test {

class MessageRecorder : public MessageSink {
public:
    void showError(const std::string& text) override { errors.push_back(text); }
    Answer askQuestion(const std::string&, QuestionButtons) override { return Answer::Yes; }
    std::vector<std::string> errors;
};

// A folder under the temporary folder, created anew (two runs at once never share it:
// creating a folder fails on a name that is taken) and removed with everything in it.
class RunFolder {
public:
    explicit RunFolder(const std::string& stem) {
        for (std::random_device random;;) {
            path_ = std::filesystem::temp_directory_path() / (stem + "-" + std::to_string(random()));
            std::error_code ec;
            if (std::filesystem::create_directory(path_, ec)) return;
            if (ec && !std::filesystem::exists(path_)) {
                ADD_FAILURE() << path_ << ": " << ec.message();
                return;
            }
        }
    }
    ~RunFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    RunFolder(const RunFolder&) = delete;
    RunFolder& operator=(const RunFolder&) = delete;
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

// Loads an S-record file (written into folder, then removed) with these bytes from address
// on, as the load dialog's OK does; true when it loaded.
inline bool LoadRecords(HexEditModel& model, MessageSink& sink, const std::string& folder,
                        int address, const std::vector<std::uint8_t>& bytes) {
    std::string text;
    AppendMotorolaRecord(text, '1', 2, address, bytes);
    const std::string path = folder + "/in.s19";
    std::ofstream(path, std::ios::binary) << text;
    LogModel log;
    std::vector<std::string> recent;
    LoadRequest r;
    r.fileName = path;
    r.format = FileFormat::Motorola;
    const bool loaded = LoadImageFile(r, model, recent, sink, log).loaded;
    std::filesystem::remove(path);
    return loaded;
}

}  // namespace jqz::test
