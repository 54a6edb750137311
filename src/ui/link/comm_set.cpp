#include "ui/link/comm_set.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>
#include <algorithm>

#include "core/link/connection.h"

namespace jqz {

namespace {

// The crystal as the user writes it: "8", "7.3728", never "8.0000".
class CrystalBox : public QDoubleSpinBox {
public:
    using QDoubleSpinBox::QDoubleSpinBox;
    QString textFromValue(double value) const override {
        return locale().toString(value, 'g', 7);
    }
};

const char* virtualPortOf(LinkKind link) {
    return link == LinkKind::BootstrapCable ? kVirtualHc11Port : kVirtualProgrammerPort;
}

QString baudText(const BootLinkOptions& boot) {
    return QString::number(BootBaudRate(boot.xtalMHz, boot.rate)) + " baud";
}

}  // namespace

TCommSet::TCommSet(const std::vector<std::string>& ports, QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint) {
    setObjectName("CommSet");
    setWindowTitle("Comm Port Setup");
    setModal(true);

    linkLabel_ = new QLabel("Connection", this);
    linkLabel_->setObjectName("LinkLabel");
    linkBox_ = new QComboBox(this);
    linkBox_->setObjectName("LinkBox");
    linkBox_->addItems({"JQZ programmer", "Bootstrap cable"});
    linkLabel_->setBuddy(linkBox_);

    label1_ = new QLabel("Communication Port #", this);
    label1_->setObjectName("Label1");
    comboBox1_ = new QComboBox(this);
    comboBox1_->setObjectName("ComboBox1");
    for (const auto& p : ports) comboBox1_->addItem(QString::fromStdString(p));
    comboBox1_->addItem(kVirtualProgrammerPort);
    comboBox1_->setMinimumContentsLength(24);
    comboBox1_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    label1_->setBuddy(comboBox1_);

    programmerPanel_ = new QWidget(this);
    programmerPanel_->setObjectName("ProgrammerPanel");
    label2_ = new QLabel("Communication Port Baud Rate", programmerPanel_);
    label2_->setObjectName("Label2");
    comboBox2_ = new QComboBox(programmerPanel_);
    comboBox2_->setObjectName("ComboBox2");
    comboBox2_->addItems({"9600", "19200", "38400", "57600"});
    label2_->setBuddy(comboBox2_);
    auto* programmerLayout = new QVBoxLayout(programmerPanel_);
    programmerLayout->setContentsMargins(0, 0, 0, 0);
    programmerLayout->addWidget(label2_);
    programmerLayout->addWidget(comboBox2_);

    cablePanel_ = new QWidget(this);
    cablePanel_->setObjectName("CablePanel");
    xtal_ = new CrystalBox(cablePanel_);
    xtal_->setObjectName("XtalBox");
    xtal_->setRange(kMinXtalMHz, kMaxXtalMHz);
    xtal_->setDecimals(4);
    xtal_->setSuffix(" MHz");
    xtal_->setValue(BootLinkOptions{}.xtalMHz);
    xtal_->setToolTip("The crystal on the board: the boot ROM's rates are E/256 and E/1664, E "
                      "being the crystal divided by four");
    rates_ = new QLabel(cablePanel_);
    rates_->setObjectName("RatesLabel");
    reset_ = new QComboBox(cablePanel_);
    reset_->setObjectName("ResetBox");
    reset_->addItems({"By hand", "DTR", "RTS"});
    reset_->setToolTip("How the part is reset into bootstrap mode: by you with its reset button, "
                       "or by the port's DTR or RTS line wired to RESET");
    rate_ = new QComboBox(cablePanel_);
    rate_->setObjectName("RateBox");
    rate_->addItems({"Fast (E/256)", "1200 (E/1664)"});
    auto* cableLayout = new QFormLayout(cablePanel_);
    cableLayout->setContentsMargins(0, 0, 0, 0);
    cableLayout->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    cableLayout->setRowWrapPolicy(QFormLayout::WrapLongRows);
    cableLayout->addRow("Crystal", xtal_);
    cableLayout->addRow("Rates", rates_);
    cableLayout->addRow("Reset line", reset_);
    cableLayout->addRow("Rate", rate_);

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
    layout->addWidget(linkLabel_);
    layout->addWidget(linkBox_);
    layout->addSpacing(6);
    layout->addWidget(label1_);
    layout->addWidget(comboBox1_);
    layout->addSpacing(6);
    layout->addWidget(programmerPanel_);
    layout->addWidget(cablePanel_);
    layout->addSpacing(10);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(linkBox_, &QComboBox::currentIndexChanged, this, [this] { showLink(); });
    connect(xtal_, &QDoubleSpinBox::valueChanged, this, [this] { showRates(); });
    showLink();
    showRates();
}

void TCommSet::showLink() {
    const LinkKind link = selectedLink();
    programmerPanel_->setVisible(link == LinkKind::Programmer);
    cablePanel_->setVisible(link == LinkKind::BootstrapCable);
    // The virtual port is the last entry; a selection of it stays on it.
    comboBox1_->setItemText(comboBox1_->count() - 1, virtualPortOf(link));
    adjustSize();
}

void TCommSet::showRates() {
    BootLinkOptions fast = selectedBoot(), slow = fast;
    fast.rate = BootRate::Fast;
    slow.rate = BootRate::Slow1200;
    rates_->setText(baudText(fast) + "; " + baudText(slow) + " fallback");
}

void TCommSet::FormShow(const std::string& portName, int baudRate, LinkKind link,
                        const BootLinkOptions& boot) {
    linkBox_->setCurrentIndex(link == LinkKind::BootstrapCable ? 1 : 0);
    showLink();
    xtal_->setValue(boot.xtalMHz);
    reset_->setCurrentIndex(static_cast<int>(boot.reset));
    rate_->setCurrentIndex(boot.rate == BootRate::Fast ? 0 : 1);
    // A port that is not listed (a pseudo-terminal, a port that did not open at start-up) is
    // still the one in use: it is added before the virtual port and selected.
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

LinkKind TCommSet::selectedLink() const {
    return linkBox_->currentIndex() == 1 ? LinkKind::BootstrapCable : LinkKind::Programmer;
}

BootLinkOptions TCommSet::selectedBoot() const {
    BootLinkOptions boot;
    boot.xtalMHz = xtal_->value();
    boot.reset = static_cast<BootReset>(std::max(0, reset_->currentIndex()));
    boot.rate = rate_->currentIndex() == 1 ? BootRate::Slow1200 : BootRate::Fast;
    return boot;
}

void TCommSet::Button1Click() {
    hide();
    accept();
}

}  // namespace jqz
