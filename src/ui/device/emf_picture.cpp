#include "ui/device/emf_picture.h"

#include <QFile>
#include <QPainter>

namespace jqz {

EmfPicture::EmfPicture(QWidget* parent) : QWidget(parent) {}

EmfPicture::~EmfPicture() = default;

bool EmfPicture::load(const QString& path) {
    clear();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxEmfBytes) return false;
    renderer_ = MakeEmfRenderer(file.readAll());
    if (!renderer_) return false;
    update();
    return true;
}

void EmfPicture::clear() {
    renderer_.reset();
    update();
}

bool EmfPicture::isEmpty() const { return renderer_ == nullptr; }

QSize EmfPicture::pictureSize() const { return renderer_ ? renderer_->defaultSize() : QSize(); }

void EmfPicture::setScaleUp(bool scaleUp) {
    scaleUp_ = scaleUp;
    update();
}

QRect EmfPicture::pictureRect() const {
    if (!renderer_) return {};
    const QSize own = renderer_->defaultSize();
    QSize size = own.scaled(this->size(), Qt::KeepAspectRatio);
    if (!scaleUp_ && size.width() > own.width()) size = own;
    return QRect(QPoint((width() - size.width()) / 2, (height() - size.height()) / 2), size);
}

void EmfPicture::paintEvent(QPaintEvent*) {
    if (!renderer_) return;
    QPainter painter(this);
    renderer_->render(painter, QRectF(pictureRect()));
}

}  // namespace jqz
