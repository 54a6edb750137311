// The system's own EMF player: the drawing is played into a bitmap of the size it is shown at
// (twice that, then smoothed down, since the player draws without anti-aliasing).
#include <windows.h>

#include <QImage>
#include <QPaintDevice>
#include <QPainter>
#include <cstring>

#include "ui/device/emf_renderer.h"

namespace jqz {

namespace {

// Bitmaps beyond this many pixels are drawn without the doubling, then scaled.
constexpr qint64 kMaxBitmapPixels = 4096LL * 4096LL;

QImage PlayInto(HENHMETAFILE emf, QSize size) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = size.width();
    info.bmiHeader.biHeight = -size.height();  // top row first, as QImage has it
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    HDC dc = ::CreateCompatibleDC(nullptr);
    if (dc == nullptr) return {};
    void* bits = nullptr;
    HBITMAP bitmap = ::CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    QImage image;
    if (bitmap != nullptr && bits != nullptr) {
        HGDIOBJ old = ::SelectObject(dc, bitmap);
        const qsizetype stride = qsizetype(size.width()) * 4;
        std::memset(bits, 0xFF, static_cast<std::size_t>(stride * size.height()));  // white
        RECT rect{0, 0, size.width(), size.height()};
        if (::PlayEnhMetaFile(dc, emf, &rect)) {
            ::GdiFlush();
            image = QImage(static_cast<const uchar*>(bits), size.width(), size.height(), stride,
                           QImage::Format_RGB32)
                        .copy();
        }
        ::SelectObject(dc, old);
    }
    if (bitmap != nullptr) ::DeleteObject(bitmap);
    ::DeleteDC(dc);
    return image;
}

class GdiEmfRenderer : public EmfRenderer {
public:
    GdiEmfRenderer(HENHMETAFILE emf, QSize size) : emf_(emf), size_(size) {}
    ~GdiEmfRenderer() override { ::DeleteEnhMetaFile(emf_); }
    GdiEmfRenderer(const GdiEmfRenderer&) = delete;
    GdiEmfRenderer& operator=(const GdiEmfRenderer&) = delete;

    QSize defaultSize() const override { return size_; }

    void render(QPainter& painter, const QRectF& target) override {
        const qreal ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
        const QSize pixels = (target.size() * ratio).toSize();
        if (pixels.isEmpty()) return;
        if (cache_.size() != pixels) {
            QSize drawn = pixels * 2;
            if (qint64(drawn.width()) * drawn.height() > kMaxBitmapPixels)
                drawn = pixels.scaled(QSize(4096, 4096), Qt::KeepAspectRatio).boundedTo(pixels);
            const QImage played = PlayInto(emf_, drawn);
            if (played.isNull()) return;
            cache_ = played.size() == pixels
                         ? played
                         : played.scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
            cache_.setDevicePixelRatio(ratio);
        }
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(target, cache_);
    }

private:
    HENHMETAFILE emf_;
    QSize size_;
    QImage cache_;  // the drawing at the size it was last painted
};

}  // namespace

std::unique_ptr<EmfRenderer> MakeEmfRenderer(const QByteArray& emf) {
    if (emf.size() < qsizetype(sizeof(ENHMETAHEADER)) || emf.size() > kMaxEmfBytes) return nullptr;
    HENHMETAFILE handle = ::SetEnhMetaFileBits(static_cast<UINT>(emf.size()),
                                               reinterpret_cast<const BYTE*>(emf.constData()));
    if (handle == nullptr) return nullptr;
    ENHMETAHEADER header{};
    if (::GetEnhMetaFileHeader(handle, sizeof header, &header) == 0 ||
        header.iType != EMR_HEADER || header.dSignature != ENHMETA_SIGNATURE) {
        ::DeleteEnhMetaFile(handle);
        return nullptr;
    }
    // The bounds are in the pixels of the device the drawing was made for, both edges included.
    const QSize size(header.rclBounds.right - header.rclBounds.left + 1,
                     header.rclBounds.bottom - header.rclBounds.top + 1);
    if (size.isEmpty() || size.width() > 100000 || size.height() > 100000) {
        ::DeleteEnhMetaFile(handle);
        return nullptr;
    }
    return std::make_unique<GdiEmfRenderer>(handle, size);
}

}  // namespace jqz
