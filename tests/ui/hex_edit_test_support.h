#pragma once
// What the editor's window tests share: the editor under test and a way to drive the modal
// dialogs it opens.
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "../core/test_support.h"
#include "ui/image/hex_edit.h"

namespace jqz::test {

// An editor window over a fresh image, rebuilt for every test.
struct EditorUnderTest {
    std::unique_ptr<HexEditModel> model;
    std::unique_ptr<RecordingSink> sink;
    std::unique_ptr<THexEdit> edit;
    void make() {
        model = std::make_unique<HexEditModel>();
        sink = std::make_unique<RecordingSink>();
        edit = std::make_unique<THexEdit>(*model, *sink);
    }
    void reset() {
        edit.reset();
        model.reset();
    }
};

// Runs `step` on the next modal dialog as soon as it is up.
inline void onModal(std::function<void(QDialog*)> step, int triesLeft = 200) {
    QTimer::singleShot(10, [step, triesLeft] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (dialog != nullptr && dialog->isVisible()) {
            step(dialog);
        } else if (triesLeft > 0) {
            onModal(step, triesLeft - 1);
        }
    });
}

inline void setField(QDialog* dialog, const char* name, const QString& text) {
    auto* combo = dialog->findChild<QComboBox*>(name);
    QVERIFY2(combo != nullptr, name);
    combo->setEditText(text);
}

inline QString field(QDialog* dialog, const char* name) {
    auto* combo = dialog->findChild<QComboBox*>(name);
    return combo != nullptr ? combo->currentText() : QString("<missing %1>").arg(name);
}

inline QStringList history(QDialog* dialog, const char* name) {
    QStringList items;
    if (auto* combo = dialog->findChild<QComboBox*>(name))
        for (int i = 0; i < combo->count(); ++i) items << combo->itemText(i);
    return items;
}

inline void click(QDialog* dialog, const char* button) {
    auto* b = dialog->findChild<QPushButton*>(button);
    if (b != nullptr) b->click();
}

}  // namespace jqz::test
