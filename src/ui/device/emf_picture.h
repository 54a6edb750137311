#pragma once
// A picture control for Enhanced Metafile drawings, centred in the control and scaled to fit
// with its proportions kept. A file that is not a readable picture leaves the control empty.
#include <QString>
#include <QWidget>
#include <memory>

#include "ui/device/emf_renderer.h"

namespace jqz {

class EmfPicture : public QWidget {
    Q_OBJECT
public:
    explicit EmfPicture(QWidget* parent = nullptr);
    ~EmfPicture() override;

    // Loads the drawing; false (and the control emptied) when the file cannot be read or is
    // not an Enhanced Metafile.
    bool load(const QString& path);
    void clear();
    bool isEmpty() const;
    // The drawing's own size (empty without a drawing).
    QSize pictureSize() const;
    // Where the drawing is painted inside the control.
    QRect pictureRect() const;

    // false: a drawing smaller than the control keeps its own size instead of growing.
    void setScaleUp(bool scaleUp);
    bool scaleUp() const { return scaleUp_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::unique_ptr<EmfRenderer> renderer_;
    bool scaleUp_ = true;
};

}  // namespace jqz
