#pragma once
// Hex Editor Options: the two grid fonts and the five editor colours.
#include <QDialog>
#include <array>

class QComboBox;
class QPushButton;
class QSpinBox;

namespace jqz {

class ColourComboBox;
class THexEdit;

class THoptions : public QDialog {
    Q_OBJECT
public:
    explicit THoptions(THexEdit& owner, QWidget* parent = nullptr);
    void Button1Click();  // OK
    // Apply; false when refused (a device read holds the image), the dialog staying as it is.
    bool Button3Click();
    void Button4Click();  // Reset To Default

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormShow();
    void selectFont(QComboBox* list, const QString& name);

    THexEdit& owner_;
    QComboBox* leftFont_;
    QComboBox* rightFont_;
    QSpinBox* fontSize_;
    // address, work, edited, unimplemented, background
    std::array<ColourComboBox*, 5> colours_{};
    QPushButton* apply_;
    // The names the fonts keep when their list has no entry for them.
    QString leftName_;
    QString rightName_;
};

}  // namespace jqz
