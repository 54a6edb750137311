#pragma once
// A menu item's caption as the user reads it: the mnemonic's marker left out, "&&" as "&".
#include <QAction>
#include <QString>

namespace jqz::test {

inline QString ShownCaption(const QString& text) {
    QString shown;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == '&' && i + 1 < text.size()) ++i;
        shown += text[i];
    }
    return shown;
}

inline QString ShownCaption(const QAction* action) { return ShownCaption(action->text()); }

}  // namespace jqz::test
