#pragma once
// Go To Address: moves the editor's cursor to a typed address.
#include <QDialog>

class QComboBox;

namespace jqz {

class THexEdit;

class TForm3 : public QDialog {
    Q_OBJECT
public:
    explicit TForm3(THexEdit& owner);
    // Fills in the cursor's address and runs the dialog.
    void open();
    void Button1Click();

protected:
    void showEvent(QShowEvent* event) override;

private:
    THexEdit& owner_;
    QComboBox* address_;
};

}  // namespace jqz
