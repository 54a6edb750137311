#pragma once
// The program's version, as "--version" and the About box show it.
#include <string>

namespace jqz {

// The project's version number, e.g. "1.2"; the same in all three programs and the package.
std::string ProgramVersion();

}  // namespace jqz
