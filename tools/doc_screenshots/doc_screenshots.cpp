// Takes the pictures of the documentation: the package view of an E9 device and the device
// selection dialog with the E9's quick info.
//   doc_screenshots <program folder holding dhelp> <output folder>
#include <QApplication>
#include <QListWidget>
#include <QTabWidget>
#include <cstdio>

#include "core/device/supported_device_list.h"
#include "ui/device/device_wizard.h"
#include "ui/device/package_view.h"
#include "ui/device/rtf_text_document.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: doc_screenshots <program folder> <output folder>\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[2]);
    const char* e9 = "MC68HC11  E9 (E28B)";
    jqz::SupportedDeviceList devices(argv[1]);
    devices.selectDevice(e9);

    jqz::TDPView1 view;
    view.resize(720, 700);
    view.show();
    view.ShowDrawings(devices.packageDrawings());
    view.pageControl()->setCurrentIndex(0);
    app.processEvents();
    if (!view.grab().save(out + "/package_view.png")) return 1;

    jqz::TDeviceWiz1 wizard(devices, [](const QString& path, QTextDocument& document) {
        return jqz::LoadRtfFile(path, document);
    });
    wizard.resize(980, 560);
    wizard.show();
    auto* list = wizard.findChild<QListWidget*>("ListBox1");
    const auto found = list->findItems(QString::fromLatin1(e9), Qt::MatchExactly);
    if (found.isEmpty()) return 1;
    list->setCurrentItem(found.front());
    app.processEvents();
    if (!wizard.grab().save(out + "/device_selection.png")) return 1;
    return 0;
}
