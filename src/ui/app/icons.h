#pragma once
// The program's own pictures (assets/icons, compiled in as resources).
#include <QIcon>

namespace jqz {

// The icon of that name, or the desktop theme's icon of the same meaning when ours is missing.
QIcon ShellIcon(const char* name);

}  // namespace jqz
