#pragma once
// Swap: reverses the bits of every byte, or exchanges the bytes of every word or double word
// of the whole image.
#include <QDialog>

class QButtonGroup;

namespace jqz {

class THexEdit;

class TForm4 : public QDialog {
    Q_OBJECT
public:
    explicit TForm4(THexEdit& owner);
    void open();
    void Button1Click();

private:
    THexEdit& owner_;
    QButtonGroup* mode_;
};

}  // namespace jqz
