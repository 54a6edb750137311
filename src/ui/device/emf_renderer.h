#pragma once
// An Enhanced Metafile made ready to paint: its own size, painted scaled into any rectangle.
// Two makers stand behind it: libemf2svg with QtSvg (Linux), the system's EMF player (Windows).
#include <QByteArray>
#include <QRectF>
#include <QSize>
#include <memory>

class QPainter;

namespace jqz {

class EmfRenderer {
public:
    virtual ~EmfRenderer() = default;
    // The drawing's own size in pixels (never empty).
    virtual QSize defaultSize() const = 0;
    virtual void render(QPainter& painter, const QRectF& target) = 0;
};

// Drawings far larger than this are not package drawings.
inline constexpr qint64 kMaxEmfBytes = 32 * 1024 * 1024;

// The drawing of those bytes, or nullptr when they are not an Enhanced Metafile that draws.
std::unique_ptr<EmfRenderer> MakeEmfRenderer(const QByteArray& emf);

}  // namespace jqz
