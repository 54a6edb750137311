#pragma once
// Windows declare their actions as a table: name, caption, shortcut, hint and picture.
#include <QAction>
#include <QWidget>

namespace jqz {

struct ActionEntry {
    const char* name;
    const char* caption;   // nullptr: none (actions that are in no menu)
    const char* shortcut;  // nullptr: none
    const char* hint;      // nullptr: none; shown in the hint bar, and as the tool tip with
                           // the shortcut
    const char* icon;      // nullptr: none; a name of the program's icon set
};

// Creates the action on the window, whose shortcuts then work while it is active.
QAction* CreateAction(QWidget* window, const ActionEntry& entry);

}  // namespace jqz
