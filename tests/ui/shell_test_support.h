#pragma once
// What the window tests of the file and print dialogs share.
#include <QString>
#include <string>
#include <vector>

#include "ui/app/prog_shell.h"

namespace jqz::test {

// A main window's files, all in the folder `dir`.
inline ShellPaths ShellPathsIn(const QString& dir) {
    ShellPaths p;
    p.settingsFile = (dir + "/jqz6811.ini").toStdString();
    p.programFolder = dir.toStdString();
    p.logFile = (dir + "/6811prog.log").toStdString();
    return p;
}

// The log's lines as the user reads them, without their kinds.
inline std::vector<std::string> LogTexts(TProgShell& shell) {
    std::vector<std::string> out;
    for (const auto& line : shell.log().storedLines()) out.push_back(line.substr(1));
    return out;
}

}  // namespace jqz::test
