#include "emf_canvas.h"

#include <algorithm>
#include <cstdlib>
#include <stdexcept>

namespace jqz::tools {

namespace {

constexpr float kPixelsPerMm = 4.0f;
// "No bounds given" (the header's U_RCL_DEF, spelt without a C compound literal).
constexpr U_RECTL kNoBounds{0, 0, -1, -1};

U_POINTL toPoint(Point p) { return point32_set(p.x, p.y); }

// libUEMF hands out UTF-16 buffers allocated with malloc.
struct Utf16 {
    explicit Utf16(const std::string& utf8) {
        data = U_Utf8ToUtf16le(utf8.c_str(), 0, &length);
        if (data == nullptr) throw std::runtime_error("text is not UTF-8: " + utf8);
    }
    ~Utf16() { std::free(data); }
    Utf16(const Utf16&) = delete;
    Utf16& operator=(const Utf16&) = delete;
    uint16_t* data = nullptr;
    size_t length = 0;
};

// The advance widths of Arial's printable ASCII characters (0x20 to 0x7E), in thousandths of
// the em, regular and bold (the metrics Arial shares with Helvetica). Players place each
// glyph at the advance the record gives, so every character gets its own.
constexpr std::uint16_t kArialAdvance[2][95] = {
    {278, 278, 355, 556, 556, 889, 667, 191, 333, 333, 389, 584, 278, 333, 278, 278,
     556, 556, 556, 556, 556, 556, 556, 556, 556, 556, 278, 278, 584, 584, 584, 556,
     1015, 667, 667, 722, 722, 667, 611, 778, 722, 278, 500, 667, 556, 833, 722, 778,
     667, 778, 722, 667, 611, 722, 667, 944, 667, 667, 611, 278, 278, 278, 469, 556,
     333, 556, 556, 500, 556, 556, 278, 556, 556, 222, 222, 500, 222, 833, 556, 556,
     556, 556, 333, 500, 278, 556, 500, 722, 500, 500, 500, 334, 260, 334, 584},
    {278, 333, 474, 556, 556, 889, 722, 238, 333, 333, 389, 584, 278, 333, 278, 278,
     556, 556, 556, 556, 556, 556, 556, 556, 556, 556, 333, 333, 584, 584, 584, 611,
     975, 722, 722, 722, 722, 667, 611, 778, 722, 278, 556, 722, 611, 833, 722, 778,
     667, 778, 722, 667, 611, 722, 667, 944, 667, 667, 611, 333, 278, 333, 584, 556,
     333, 556, 611, 556, 611, 556, 333, 611, 611, 278, 278, 556, 278, 889, 611, 611,
     611, 611, 389, 556, 333, 611, 556, 778, 556, 556, 500, 389, 280, 389, 584},
};
// Characters beyond ASCII take the width of a digit.
constexpr std::uint16_t kOtherAdvance = 556;

}  // namespace

std::vector<std::uint32_t> GlyphAdvances(const std::uint16_t* text, std::size_t length, int height,
                                         bool bold) {
    std::vector<std::uint32_t> advances;
    advances.reserve(length);
    for (std::size_t i = 0; i < length; ++i) {
        const std::uint16_t c = text[i];
        const int width = c >= 0x20 && c <= 0x7E ? kArialAdvance[bold ? 1 : 0][c - 0x20] : kOtherAdvance;
        advances.push_back(static_cast<std::uint32_t>((width * height + 500) / 1000));
    }
    return advances;
}

EmfCanvas::EmfCanvas(int width, int height, const std::string& description) {
    // The records are collected in memory; finish() hands them over.
    if (emf_start("/dev/null", 1u << 16, 1u << 16, &track_) != 0)
        throw std::runtime_error("emf_start failed");
    if (emf_htable_create(128, 128, &handles_) != 0) throw std::runtime_error("emf handles");

    U_SIZEL device, millimetres;
    device_size(216, 279, kPixelsPerMm, &device, &millimetres);  // a Letter page as reference
    U_RECTL bounds, frame;
    drawing_size(static_cast<int>(width / kPixelsPerMm), static_cast<int>(height / kPixelsPerMm),
                 kPixelsPerMm, &bounds, &frame);
    // Description: application name, a NUL, the picture's title, two NULs.
    std::string desc = std::string("JQZ 68(7)11 Programmer") + '\0' + description + '\0' + '\0';
    std::vector<uint16_t> wide;
    for (unsigned char c : desc) wide.push_back(c < 0x80 ? c : '?');
    append(U_EMRHEADER_set(bounds, frame, nullptr, static_cast<U_CBSTR>(wide.size()), wide.data(),
                           device, millimetres, 0));
    append(U_EMRSETMAPMODE_set(U_MM_TEXT));
    // Upright text turns with a world transform, which players take only in the advanced
    // graphics mode. That record (type 67) has the map mode record's layout; libUEMF has no
    // maker of its own for it.
    char* graphicsMode = U_EMRSETMAPMODE_set(U_GM_ADVANCED);
    if (graphicsMode != nullptr) reinterpret_cast<PU_EMRSETMAPMODE>(graphicsMode)->emr.iType = 67;
    append(graphicsMode);
    append(U_EMRSETBKMODE_set(U_TRANSPARENT));
    append(U_EMRSETPOLYFILLMODE_set(U_ALTERNATE));
    append(U_EMRSETTEXTCOLOR_set(colorref_set(0, 0, 0)));
    // A white sheet under the drawing.
    setPen(1, 255, 255, 255);
    setFill(255, 255, 255);
    rectangle({0, 0}, {width, height});
    setPen(2);
    setHollow();
}

EmfCanvas::~EmfCanvas() {
    if (track_ != nullptr) emf_free(&track_);
    if (handles_ != nullptr) emf_htable_free(&handles_);
}

void EmfCanvas::append(char* record) {
    if (record == nullptr || emf_append(reinterpret_cast<PU_ENHMETARECORD>(record), track_, 1) != 0)
        throw std::runtime_error("could not add an EMF record");
}

void EmfCanvas::setPen(int width, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    std::uint32_t pen = 0;
    append(createpen_set(&pen, handles_,
                         logpen_set(U_PS_SOLID | U_PS_GEOMETRIC | U_PS_ENDCAP_FLAT | U_PS_JOIN_MITER,
                                    point_set(width, width), colorref_set(r, g, b))));
    append(selectobject_set(pen, handles_));
    if (pen_ != 0) append(deleteobject_set(&pen_, handles_));
    pen_ = pen;
}

void EmfCanvas::setFill(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    std::uint32_t brush = 0;
    append(createbrushindirect_set(&brush, handles_,
                                   logbrush_set(U_BS_SOLID, colorref_set(r, g, b), 0)));
    append(selectobject_set(brush, handles_));
    if (brush_ != 0) append(deleteobject_set(&brush_, handles_));
    brush_ = brush;
}

void EmfCanvas::setHollow() {
    append(selectobject_set(U_NULL_BRUSH, handles_));
    if (brush_ != 0) append(deleteobject_set(&brush_, handles_));
    brush_ = 0;
}

void EmfCanvas::setTextColor(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    append(U_EMRSETTEXTCOLOR_set(colorref_set(r, g, b)));
}

void EmfCanvas::line(Point a, Point b) {
    append(U_EMRMOVETOEX_set(toPoint(a)));
    append(U_EMRLINETO_set(toPoint(b)));
}

void EmfCanvas::rectangle(Point topLeft, Point bottomRight) {
    append(U_EMRRECTANGLE_set(rectl_set(toPoint(topLeft), toPoint(bottomRight))));
}

void EmfCanvas::polygon(const std::vector<Point>& points) {
    std::vector<U_POINTL> pts;
    pts.reserve(points.size());
    int minX = points.empty() ? 0 : points[0].x, maxX = minX;
    int minY = points.empty() ? 0 : points[0].y, maxY = minY;
    for (const Point& p : points) {
        pts.push_back(toPoint(p));
        minX = std::min(minX, p.x);
        maxX = std::max(maxX, p.x);
        minY = std::min(minY, p.y);
        maxY = std::max(maxY, p.y);
    }
    append(U_EMRPOLYGON_set(rectl_set(point32_set(minX, minY), point32_set(maxX, maxY)),
                            static_cast<uint32_t>(pts.size()), pts.data()));
}

void EmfCanvas::circle(Point c, int radius) {
    append(U_EMRELLIPSE_set(rectl_set(point32_set(c.x - radius, c.y - radius),
                                      point32_set(c.x + radius, c.y + radius))));
}

void EmfCanvas::text(Point at, const std::string& utf8, int height, TextAlign align, bool bold,
                     bool upright) {
    Utf16 face("Arial");
    const U_LOGFONT font = logfont_set(-height, 0, 0, 0, bold ? U_FW_BOLD : U_FW_NORMAL, 0, 0, 0,
                                       U_ANSI_CHARSET, U_OUT_DEFAULT_PRECIS, U_CLIP_DEFAULT_PRECIS,
                                       U_DEFAULT_QUALITY, U_VARIABLE_PITCH | U_FF_SWISS, face.data);
    U_LOGFONT_PANOSE withPanose =
        logfont_panose_set(font, nullptr, nullptr, 0, panose_set(0, 0, 0, 0, 0, 0, 0, 0, 0, 0));
    std::uint32_t fontHandle = 0;
    append(extcreatefontindirectw_set(&fontHandle, handles_, nullptr,
                                      reinterpret_cast<char*>(&withPanose)));
    append(selectobject_set(fontHandle, handles_));
    std::uint32_t mode = U_TA_BASELINE;
    if (align == TextAlign::Center) mode |= U_TA_CENTER;
    if (align == TextAlign::Right) mode |= U_TA_RIGHT;
    append(U_EMRSETTEXTALIGN_set(mode));

    // Upright text is drawn at the origin of a world transform turned a quarter to the left.
    Point origin = at;
    if (upright) {
        append(U_EMRSETWORLDTRANSFORM_set(xform_set(0, -1, 1, 0, static_cast<U_FLOAT>(at.x),
                                                    static_cast<U_FLOAT>(at.y))));
        origin = {0, 0};
    }
    Utf16 wide(utf8);
    std::vector<std::uint32_t> dx = GlyphAdvances(wide.data, wide.length, height, bold);
    char* emrText = emrtext_set(toPoint(origin), static_cast<U_NUM_STR>(wide.length), 2, wide.data,
                                U_ETO_NONE, kNoBounds, dx.data());
    if (emrText == nullptr) throw std::runtime_error("emrtext_set failed");
    char* record = U_EMREXTTEXTOUTW_set(kNoBounds, U_GM_ADVANCED, 1.0f, 1.0f,
                                        reinterpret_cast<PU_EMRTEXT>(emrText));
    std::free(emrText);
    append(record);
    if (upright)
        append(U_EMRMODIFYWORLDTRANSFORM_set(xform_set(1, 0, 0, 1, 0, 0), U_MWT_IDENTITY));
    append(selectobject_set(U_DEVICE_DEFAULT_FONT, handles_));
    append(deleteobject_set(&fontHandle, handles_));
}

std::vector<char> EmfCanvas::finish() {
    if (finished_) throw std::logic_error("finish() called twice");
    finished_ = true;
    append(U_EMREOF_set(0, nullptr, track_));
    if (emf_finish(track_, handles_) != 0) throw std::runtime_error("emf_finish failed");
    return std::vector<char>(track_->buf, track_->buf + track_->used);
}

}  // namespace jqz::tools
