#include "ui/app/action_table.h"

#include "ui/app/icons.h"

namespace jqz {

QAction* CreateAction(QWidget* window, const ActionEntry& entry) {
    auto* a = new QAction(window);
    a->setObjectName(entry.name);
    if (entry.caption != nullptr) a->setText(entry.caption);
    if (entry.shortcut != nullptr) a->setShortcut(QKeySequence(entry.shortcut));
    if (entry.hint != nullptr) {
        a->setStatusTip(entry.hint);
        a->setToolTip(entry.hint);
    }
    if (entry.icon != nullptr) a->setIcon(ShellIcon(entry.icon));
    window->addAction(a);
    return a;
}

}  // namespace jqz
