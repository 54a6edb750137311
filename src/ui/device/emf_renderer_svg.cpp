#include <emf2svg.h>

#include <QPainter>
#include <QSvgRenderer>
#include <cstdlib>

#include "ui/device/emf_renderer.h"
#include "ui/device/emf_to_svg.h"

namespace jqz {

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

namespace {

class SvgEmfRenderer : public EmfRenderer {
public:
    explicit SvgEmfRenderer(const QByteArray& svg) : svg_(svg) {}
    bool valid() const { return svg_.isValid() && !svg_.defaultSize().isEmpty(); }
    QSize defaultSize() const override { return svg_.defaultSize(); }
    void render(QPainter& painter, const QRectF& target) override {
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::TextAntialiasing);
        svg_.render(&painter, target);
    }

private:
    QSvgRenderer svg_;
};

}  // namespace

std::unique_ptr<EmfRenderer> MakeEmfRenderer(const QByteArray& emf) {
    const QByteArray svg = EmfToSvg(emf);
    if (svg.isEmpty()) return nullptr;
    auto renderer = std::make_unique<SvgEmfRenderer>(svg);
    if (!renderer->valid()) return nullptr;
    return renderer;
}

}  // namespace jqz
