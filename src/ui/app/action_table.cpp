#include "ui/app/action_table.h"

#include "ui/app/icons.h"

namespace jqz {

QAction* CreateAction(QWidget* window, const ActionSpec& spec) {
    auto* a = new QAction(window);
    a->setObjectName(spec.name);
    if (spec.caption != nullptr) a->setText(spec.caption);
    if (spec.shortcut != nullptr) a->setShortcut(QKeySequence(spec.shortcut));
    if (spec.hint != nullptr) {
        a->setStatusTip(spec.hint);
        a->setToolTip(spec.hint);
    }
    if (spec.icon != nullptr) a->setIcon(ShellIcon(spec.icon));
    window->addAction(a);
    return a;
}

}  // namespace jqz
