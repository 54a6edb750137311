#pragma once
// The port dialog "Comm Port Setup": the port found at start-up and the working rate.
#include <QDialog>
#include <optional>
#include <string>
#include <vector>

class QComboBox;
class QLabel;
class QPushButton;

namespace jqz {

class TCommSet : public QDialog {
    Q_OBJECT
public:
    // ports: the names listed at start-up; "Virtual Programmer" is offered after them.
    explicit TCommSet(const std::vector<std::string>& ports, QWidget* parent = nullptr);

    // Before showing: selects the entries equal to the current port and rate (none when
    // there is no such entry) and puts the focus on the port list.
    void FormShow(const std::string& portName, int baudRate);

    // The choice; nothing when the list has no selection.
    std::optional<std::string> selectedPort() const;
    std::optional<int> selectedRate() const;

private:
    void Button1Click();

    QLabel* label1_;
    QComboBox* comboBox1_;
    QLabel* label2_;
    QComboBox* comboBox2_;
    QPushButton* button1_;
    QPushButton* button2_;
};

}  // namespace jqz
