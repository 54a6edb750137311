#pragma once
// A drop-down list of the 64 palette colours: item i, text "i", is drawn as a rectangle of
// palette colour i outlined in the window colour. The selected index is the palette index.
#include <QComboBox>

namespace jqz {

class ColourComboBox : public QComboBox {
    Q_OBJECT
public:
    explicit ColourComboBox(const char* name, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace jqz
