#pragma once
// "Load File Into Buffer": picks a file (browser or recent list), shows the format found in it,
// and loads it with a range, an offset and an optional clearing of the image.
#include <QDialog>
#include <string>
#include <vector>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QFileDialog;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QToolButton;

namespace jqz {

class HexEditModel;
class LogSink;
class MessageSink;

class TLoadf : public QDialog {
    Q_OBJECT
public:
    TLoadf(HexEditModel& model, std::vector<std::string>& recentFiles, MessageSink& messages,
           LogSink& log, QWidget* parent = nullptr);

    // The recent list button: opens the list under the file name.
    void Button4Click();
    // Browse: the file browser.
    void Button1Click();
    // OK: the load.
    void Button2Click();
    // The format detection on every change of the file name.
    void Edit1Change();

    QFileDialog* openDialog() const { return openDialog_; }
    QMenu* openedFileList() const { return openedFileList_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void CheckBox1Click();
    void chooseFile(const QString& name);

    HexEditModel& model_;
    std::vector<std::string>& recentFiles_;
    MessageSink& messages_;
    LogSink& log_;

    QLineEdit* edit1_ = nullptr;
    QToolButton* button4_ = nullptr;
    QComboBox* comboBox1_ = nullptr;
    QCheckBox* checkBox1_ = nullptr;
    QLabel* rangeLabels_[3] = {};
    QLineEdit* rangeEdits_[3] = {};
    QGroupBox* radioGroup1_ = nullptr;
    QButtonGroup* clearChoice_ = nullptr;
    QPushButton* button2_ = nullptr;
    QMenu* openedFileList_ = nullptr;
    QFileDialog* openDialog_ = nullptr;
    bool examined_ = false;  // the format list is the named file's
};

}  // namespace jqz
