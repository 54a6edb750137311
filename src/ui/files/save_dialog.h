#pragma once
// "Save File From Buffer": writes the image, whole or a range, in one of four formats.
#include <QDialog>

class QCheckBox;
class QComboBox;
class QFileDialog;
class QLabel;
class QLineEdit;
class QPushButton;

namespace jqz {

class HexEditModel;
class LogSink;
class MessageSink;

class TSavef : public QDialog {
    Q_OBJECT
public:
    TSavef(HexEditModel& model, MessageSink& messages, LogSink& log, QWidget* parent = nullptr);

    // Browse: the file browser; its filter chooses the format.
    void Button1Click();
    // OK: the save. The dialog closes with OK only when the file was written.
    void Button2Click();

    QFileDialog* saveDialog() const { return saveDialog_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void CheckBox1Click();
    void ComboBox1Change();

    HexEditModel& model_;
    MessageSink& messages_;
    LogSink& log_;

    QLineEdit* edit1_ = nullptr;
    QComboBox* comboBox1_ = nullptr;
    QCheckBox* checkBox1_ = nullptr;
    QCheckBox* checkBox2_ = nullptr;
    QLabel* rangeLabels_[2] = {};
    QLineEdit* rangeEdits_[2] = {};
    QPushButton* button2_ = nullptr;
    QFileDialog* saveDialog_ = nullptr;
};

}  // namespace jqz
