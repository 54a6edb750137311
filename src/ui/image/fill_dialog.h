#pragma once
// Fill Array: writes one value into an address range or into the selected cells.
#include <QDialog>

class QComboBox;
class QLabel;

namespace jqz {

class THexEdit;

class TForm5 : public QDialog {
    Q_OBJECT
public:
    explicit TForm5(THexEdit& owner);
    // Fills in the cursor cell's value and address, chooses range or selection, runs.
    void open();
    void Button1Click();

protected:
    void showEvent(QShowEvent* event) override;

private:
    THexEdit& owner_;
    QComboBox* value_;
    QComboBox* from_;
    QComboBox* to_;
    QLabel* fromLabel_;
    QLabel* toLabel_;
    bool onSelection_ = false;
};

}  // namespace jqz
