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
        // The tool tip names the shortcut too: "Save Current File (F2)".
        a->setToolTip(entry.shortcut == nullptr
                          ? QString(entry.hint)
                          : QStringLiteral("%1 (%2)").arg(entry.hint,
                                                         a->shortcut().toString(QKeySequence::NativeText)));
    }
    if (entry.icon != nullptr) a->setIcon(ShellIcon(entry.icon));
    window->addAction(a);
    return a;
}

}  // namespace jqz
