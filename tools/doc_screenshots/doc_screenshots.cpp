// Takes the pictures of the documentation: the package view of an E9 device.
//   doc_screenshots <program folder holding dhelp> <output folder>
#include <QApplication>
#include <QTabWidget>
#include <cstdio>

#include "core/device/supported_device_list.h"
#include "ui/device/package_view.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: doc_screenshots <program folder> <output folder>\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[2]);
    jqz::SupportedDeviceList devices(argv[1]);
    devices.selectDevice("MC68HC11  E9 (E28B)");

    jqz::TDPView1 view;
    view.resize(720, 700);
    view.show();
    view.ShowDrawings(devices.packageDrawings());
    view.pageControl()->setCurrentIndex(0);
    app.processEvents();
    if (!view.grab().save(out + "/package_view.png")) return 1;
    return 0;
}
