#include "ui/app/about_box.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/app/version.h"
#include "core/device/supported_device_list.h"
#include "ui/app/icons.h"

namespace jqz {

TAboutW::TAboutW(const SupportedDeviceList& devices, QWidget* parent) : QDialog(parent) {
    setObjectName("AboutW");
    setWindowTitle("About");
    setWindowFlags(Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    auto* v = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    auto* image = new QLabel;
    image->setObjectName("Image1");
    image->setPixmap(ShellIcon("chip").pixmap(64, 64));
    top->addWidget(image, 0, Qt::AlignTop);
    auto* texts = new QVBoxLayout;
    auto label = [&](const char* name, const QString& text) {
        auto* l = new QLabel(text);
        l->setObjectName(name);
        texts->addWidget(l);
        return l;
    };
    QLabel* title = label("Label1", "MC68HC(7)11 Programmer for Linux and Windows");
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    label("Label2", QString::fromStdString("Software Version : " + ProgramVersion()));
    label("Label3", "Firmware Version : 1.1");
    label("Label4", "Made by the JQZ 6811 project");
    top->addLayout(texts);
    v->addLayout(top);
    auto* supported = new QLabel("Device Supported :");
    supported->setObjectName("Label10");
    v->addWidget(supported);
    auto* memo = new QPlainTextEdit;
    memo->setObjectName("Memo1");
    memo->setReadOnly(true);
    memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QFont mono("Monospace");
    mono.setStyleHint(QFont::TypeWriter);
    memo->setFont(mono);
    QStringList lines;
    for (const auto& n : SortedIgnoringCase(devices.deviceNames())) lines << QString::fromStdString(n);
    memo->setPlainText(lines.join('\n'));
    memo->setMinimumHeight(160);
    v->addWidget(memo);
    auto* ok = new QPushButton("OK");
    ok->setObjectName("Button1");
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    v->addWidget(ok, 0, Qt::AlignHCenter);
    v->setSizeConstraint(QLayout::SetFixedSize);
}

}  // namespace jqz
