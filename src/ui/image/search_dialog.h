#pragma once
// Search: finds a byte string (typed as hex digits or as text) up or down from the cursor.
// Created on first use; Search Again repeats it with the dialog's settings without showing it.
#include <QDialog>

#include "core/image/hex_editor.h"

class QButtonGroup;
class QComboBox;

namespace jqz {

class THexEdit;

class TForm7 : public QDialog {
    Q_OBJECT
public:
    explicit TForm7(THexEdit& owner);
    void open();
    void Button1Click();
    // The OK step without the dialog.
    SearchOutcome searchAgain();

protected:
    void showEvent(QShowEvent* event) override;

private:
    SearchOutcome search();

    THexEdit& owner_;
    QComboBox* text_;
    QButtonGroup* type_;
    QButtonGroup* direction_;
};

}  // namespace jqz
