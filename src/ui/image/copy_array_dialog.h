#pragma once
// Copy Array: the bytes of an address range as one line of hex text on the clipboard.
#include <QDialog>

class QComboBox;

namespace jqz {

class THexEdit;

class TForm2 : public QDialog {
    Q_OBJECT
public:
    explicit TForm2(THexEdit& owner);
    // Fills in both addresses and runs the dialog.
    void open(const QString& from, const QString& to);
    void Button1Click();

protected:
    void showEvent(QShowEvent* event) override;

private:
    THexEdit& owner_;
    QComboBox* from_;
    QComboBox* to_;
};

}  // namespace jqz
