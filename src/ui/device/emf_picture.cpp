#include "ui/device/emf_picture.h"

#include <emf2svg.h>

#include <QFile>
#include <QPainter>
#include <QSvgRenderer>
#include <cstdlib>

namespace jqz {

namespace {
// Drawings far larger than this are not package drawings.
constexpr qint64 kMaxEmfBytes = 32 * 1024 * 1024;
}  // namespace

QByteArray EmfToSvg(const QByteArray& emf) {
    if (emf.isEmpty() || emf.size() > kMaxEmfBytes) return {};
    QByteArray input = emf;  // the converter works on a buffer of its own
    generatorOptions options{};
    options.nameSpace = nullptr;
    options.verbose = false;
    options.emfplus = false;
    options.svgDelimiter = true;
    options.imgWidth = 0;
    options.imgHeight = 0;
    char* out = nullptr;
    size_t outLength = 0;
    const int ok = emf2svg(input.data(), static_cast<size_t>(input.size()), &out, &outLength,
                           &options);
    QByteArray svg;
    if (ok == 1 && out != nullptr && outLength > 0)
        svg = QByteArray(out, static_cast<qsizetype>(outLength));
    std::free(out);
    return svg;
}

EmfPicture::EmfPicture(QWidget* parent) : QWidget(parent) {}

EmfPicture::~EmfPicture() = default;

bool EmfPicture::load(const QString& path) {
    clear();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxEmfBytes) return false;
    const QByteArray svg = EmfToSvg(file.readAll());
    if (svg.isEmpty()) return false;
    auto renderer = std::make_unique<QSvgRenderer>(svg);
    if (!renderer->isValid() || renderer->defaultSize().isEmpty()) return false;
    renderer_ = std::move(renderer);
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
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    renderer_->render(&painter, QRectF(pictureRect()));
}

}  // namespace jqz
