#pragma once
// The About box: versions, maker, and the supported devices sorted without regard to case.
#include <QDialog>

namespace jqz {

class SupportedDeviceList;

class TAboutW : public QDialog {
    Q_OBJECT
public:
    TAboutW(const SupportedDeviceList& devices, QWidget* parent = nullptr);
};

}  // namespace jqz
