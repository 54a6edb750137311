#include "ui/link/comm_set.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>
#include <algorithm>

#include "core/link/connection.h"

namespace jqz {

TCommSet::TCommSet(const std::vector<std::string>& ports, QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint) {
    setObjectName("CommSet");
    setWindowTitle("Comm Port Setup");
    setModal(true);

    label1_ = new QLabel("Communication Port #", this);
    label1_->setObjectName("Label1");
    comboBox1_ = new QComboBox(this);
    comboBox1_->setObjectName("ComboBox1");
    for (const auto& p : ports) comboBox1_->addItem(QString::fromStdString(p));
    comboBox1_->addItem(kVirtualProgrammerPort);
    comboBox1_->setMinimumContentsLength(22);
    comboBox1_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    label1_->setBuddy(comboBox1_);

    label2_ = new QLabel("Communication Port Baud Rate", this);
    label2_->setObjectName("Label2");
    comboBox2_ = new QComboBox(this);
    comboBox2_->setObjectName("ComboBox2");
    comboBox2_->addItems({"9600", "19200", "38400", "57600"});
    label2_->setBuddy(comboBox2_);

    button1_ = new QPushButton("OK", this);
    button1_->setObjectName("Button1");
    button1_->setDefault(true);
    button2_ = new QPushButton("Cancel", this);
    button2_->setObjectName("Button2");
    connect(button1_, &QPushButton::clicked, this, [this] { Button1Click(); });
    connect(button2_, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(button1_, QDialogButtonBox::AcceptRole);
    buttons->addButton(button2_, QDialogButtonBox::RejectRole);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label1_);
    layout->addWidget(comboBox1_);
    layout->addSpacing(6);
    layout->addWidget(label2_);
    layout->addWidget(comboBox2_);
    layout->addSpacing(10);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void TCommSet::FormShow(const std::string& portName, int baudRate) {
    // A port that is not listed (a pseudo-terminal, a port that did not open at start-up) is
    // still the one in use: it is added before the virtual programmer and selected.
    const QString current = QString::fromStdString(portName);
    if (!current.isEmpty() && comboBox1_->findText(current) < 0)
        comboBox1_->insertItem(std::max(0, comboBox1_->count() - 1), current);
    comboBox1_->setCurrentIndex(comboBox1_->findText(current));
    comboBox2_->setCurrentIndex(comboBox2_->findText(QString::number(baudRate)));
    adjustSize();
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    comboBox1_->setFocus();
}

std::optional<std::string> TCommSet::selectedPort() const {
    if (comboBox1_->currentIndex() < 0) return std::nullopt;
    return comboBox1_->currentText().toStdString();
}

std::optional<int> TCommSet::selectedRate() const {
    if (comboBox2_->currentIndex() < 0) return std::nullopt;
    return comboBox2_->currentText().toInt();
}

void TCommSet::Button1Click() {
    hide();
    accept();
}

}  // namespace jqz
