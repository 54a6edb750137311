#pragma once
// The port dialog "Comm Port Setup": the connection (the programmer or the bootstrap cable),
// the port, and the programmer's working rate or the cable's crystal, reset line and rate.
#include <QDialog>
#include <optional>
#include <string>
#include <vector>

#include "core/app/settings_file.h"

class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QPushButton;
class QWidget;

namespace jqz {

class TCommSet : public QDialog {
    Q_OBJECT
public:
    // ports: the names listed at start-up; "Virtual Programmer" is offered after them, or
    // with the cable "Virtual HC11 (bootstrap)".
    explicit TCommSet(const std::vector<std::string>& ports, QWidget* parent = nullptr);

    // Before showing: selects the entries equal to the current connection, port and rate (no
    // port or rate when there is no such entry) and puts the focus on the port list.
    void FormShow(const std::string& portName, int baudRate,
                  LinkKind link = LinkKind::Programmer, const BootLinkOptions& boot = {});

    // The choice; nothing when the list has no selection.
    std::optional<std::string> selectedPort() const;
    std::optional<int> selectedRate() const;
    LinkKind selectedLink() const;
    // The cable's crystal, reset line and rate as chosen.
    BootLinkOptions selectedBoot() const;

private:
    void Button1Click();
    // Shows the controls of the connection chosen, and its virtual port after the others.
    void showLink();
    void showRates();

    QLabel* linkLabel_;
    QComboBox* linkBox_;
    QLabel* label1_;
    QComboBox* comboBox1_;
    QWidget* programmerPanel_;
    QLabel* label2_;
    QComboBox* comboBox2_;
    QWidget* cablePanel_;
    QDoubleSpinBox* xtal_;
    QLabel* rates_;
    QComboBox* reset_;
    QComboBox* rate_;
    QPushButton* button1_;
    QPushButton* button2_;
};

}  // namespace jqz
