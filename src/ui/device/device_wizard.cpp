#include "ui/device/device_wizard.h"

#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTextEdit>
#include <QVBoxLayout>

#include "core/device/supported_device_list.h"
#include "ui/image/grid_font.h"

namespace jqz {

TDeviceWiz1::TDeviceWiz1(SupportedDeviceList& devices, DocumentLoader loadDocument,
                         QWidget* parent)
    : QDialog(parent), devices_(devices), loadDocument_(std::move(loadDocument)) {
    setObjectName("DeviceWiz1");
    setWindowTitle("Select Device");
    setWindowFlags(Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setMinimumSize(200, 120);

    auto* v = new QVBoxLayout(this);
    auto* h = new QHBoxLayout;
    auto* left = new QVBoxLayout;
    auto* label1 = new QLabel("Device");
    label1->setObjectName("Label1");
    left->addWidget(label1);
    list_ = new QListWidget;
    list_->setObjectName("ListBox1");
    list_->setStatusTip("Select the Device");
    list_->setToolTip("Select the Device");
    QFont fixed = list_->font();
    fixed.setFamilies({DefaultGridFamily()});
    fixed.setStyleHint(QFont::TypeWriter);
    fixed.setFixedPitch(true);
    list_->setFont(fixed);
    for (const auto& name : SortedIgnoringCase(devices_.deviceNames()))
        list_->addItem(QString::fromStdString(name));
    list_->setCurrentRow(0);
    list_->setFixedWidth(list_->fontMetrics().horizontalAdvance(QString(24, 'M')));
    left->addWidget(list_);
    refusalLabel_ = new QLabel;
    refusalLabel_->setObjectName("RefusalLabel");
    refusalLabel_->setWordWrap(true);
    refusalLabel_->setFixedWidth(list_->minimumWidth());
    refusalLabel_->hide();
    left->addWidget(refusalLabel_);
    h->addLayout(left);

    auto* right = new QVBoxLayout;
    auto* label2 = new QLabel("Quick Info");
    label2->setObjectName("Label2");
    right->addWidget(label2);
    info_ = new QTextEdit;
    info_->setObjectName("RichEdit1");
    info_->setReadOnly(true);
    // The document's lines wrap at the pane's width: nothing needs scrolling sideways.
    info_->setLineWrapMode(QTextEdit::WidgetWidth);
    info_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    info_->setStatusTip("Device Quick Info");
    info_->setToolTip("Device Quick Info");
    right->addWidget(info_, 1);
    h->addLayout(right, 1);
    v->addLayout(h, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    auto* ok = new QPushButton("OK");
    ok_ = ok;
    ok->setObjectName("Button1");
    ok->setDefault(true);
    auto* cancel = new QPushButton("Cancel");
    cancel->setObjectName("Button2");
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    v->addLayout(buttons);

    connect(list_, &QListWidget::currentRowChanged, this, [this] { ListBox1Click(); });
    connect(list_, &QListWidget::itemDoubleClicked, this, [this] { Button1Click(); });
    connect(ok, &QPushButton::clicked, this, [this] { Button1Click(); });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    resize(sizeHint());
}

QSize TDeviceWiz1::sizeHint() const {
    // The quick info's lines (some 75 characters) whole beside the list, and 28 of them.
    const QFontMetrics metrics(font());
    return QDialog::sizeHint().expandedTo(
        QSize(list_->minimumWidth() + metrics.horizontalAdvance(QString(84, 'n')), metrics.lineSpacing() * 28));
}

QString TDeviceWiz1::highlighted() const {
    const QListWidgetItem* item = list_->currentItem();
    return item != nullptr ? item->text() : QString();
}

void TDeviceWiz1::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    FormShow();
}

void TDeviceWiz1::setRefusal(Refusal refusal) {
    refusal_ = std::move(refusal);
    const QBrush normal = list_->palette().brush(QPalette::Text);
    const QBrush grey = list_->palette().brush(QPalette::Disabled, QPalette::Text);
    for (int i = 0; i < list_->count(); ++i) {
        QListWidgetItem* item = list_->item(i);
        const std::string why = refusal_ ? refusal_(item->text().toStdString()) : std::string();
        item->setForeground(why.empty() ? normal : grey);
        item->setToolTip(QString::fromStdString(why));
    }
    ListBox1Click();
}

void TDeviceWiz1::FormShow() { ListBox1Click(); }

void TDeviceWiz1::ListBox1Click() {
    const std::string why = refusal_ ? refusal_(highlighted().toStdString()) : std::string();
    refusalLabel_->setText(QString::fromStdString(why));
    refusalLabel_->setVisible(!why.empty());
    ok_->setEnabled(why.empty());
    const std::string path = devices_.quickInfoFile(highlighted().toStdString());
    info_->clear();
    // A missing or unreadable document leaves the pane empty.
    if (!path.empty() && loadDocument_ &&
        !loadDocument_(QString::fromStdString(path), *info_->document()))
        info_->clear();
}

void TDeviceWiz1::Button1Click() {
    if (!ok_->isEnabled()) return;  // a row that cannot be chosen
    devices_.selectDevice(highlighted().toStdString());
    accept();
}

}  // namespace jqz
