#pragma once
// Copy As: a range or the selection as a C array, an assembler table or an HTML page on the
// clipboard.
#include <QDialog>

class QComboBox;
class QLabel;

namespace jqz {

class THexEdit;

class TForm6 : public QDialog {
    Q_OBJECT
public:
    explicit TForm6(THexEdit& owner);
    // Fills in the cursor's address, chooses range or selection mode, runs.
    void open();
    void Button1Click();

protected:
    void showEvent(QShowEvent* event) override;

private:
    THexEdit& owner_;
    QComboBox* format_;
    QComboBox* from_;
    QComboBox* to_;
    QLabel* fromLabel_;
    QLabel* toLabel_;
    bool onSelection_ = false;
};

}  // namespace jqz
