#pragma once
// Edit Cell: one described cell's address and comment, and the image cell's data byte, colour
// and access. Opened from the description window for its current row.
#include <QDialog>

class QComboBox;

namespace jqz {

class ColourComboBox;
struct CellEditValues;
class THexEdit;

class TForm8 : public QDialog {
    Q_OBJECT
public:
    explicit TForm8(THexEdit& owner, QWidget* parent);
    // Loads the description's row and runs the dialog.
    void open(int row);
    void Button1Click();

protected:
    void showEvent(QShowEvent* event) override;

private:
    // Reloads data, colour and access from the cell the address field names, if it does.
    void ComboBox3Change();
    void showValues(const CellEditValues& values);

    THexEdit& owner_;
    int row_ = 0;
    QComboBox* address_;
    QComboBox* data_;
    ColourComboBox* colour_;
    QComboBox* access_;
    QComboBox* comment_;
};

}  // namespace jqz
