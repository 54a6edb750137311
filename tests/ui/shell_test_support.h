#pragma once
// What the window tests share.
#include <QString>
#include <string>
#include <vector>

#include "core/messages/message_sink.h"
#include "ui/app/prog_shell.h"

namespace jqz::test {

// A main window's files, all in the folder `dir`; the settings file in its subfolder
// `settingsFolder` when one is named.
inline ShellPaths ShellPathsIn(const QString& dir, const QString& settingsFolder = {}) {
    ShellPaths p;
    const QString settingsDir = settingsFolder.isEmpty() ? dir : dir + "/" + settingsFolder;
    p.settingsFile = (settingsDir + "/jqz6811.ini").toStdString();
    p.programFolder = dir.toStdString();
    p.logFile = (dir + "/6811prog.log").toStdString();
    return p;
}

// Records error boxes and answers every question with No.
class QuietSink : public MessageSink {
public:
    void showError(const std::string& text) override { errors.push_back(text); }
    Answer askQuestion(const std::string&, QuestionButtons) override { return Answer::No; }
    std::vector<std::string> errors;
};

// The log's lines as the user reads them, without their kinds.
inline std::vector<std::string> LogTexts(TProgShell& shell) {
    std::vector<std::string> out;
    for (const auto& line : shell.log().storedLines()) out.push_back(line.substr(1));
    return out;
}

}  // namespace jqz::test
