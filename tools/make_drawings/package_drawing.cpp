#include "package_drawing.h"

#include <algorithm>
#include <stdexcept>

namespace jqz::tools {

namespace {

constexpr int kMargin = 24;
constexpr int kTitleHeight = 26;
constexpr int kNameFont = 15;
constexpr int kNumberFont = 13;
constexpr int kFooterFont = 14;
constexpr int kGap = 6;

struct Geometry {
    int pitch;        // distance between pin centres
    int pinLength;    // how far a pin reaches outside the body
    int pinWidth;
    int nameArea;     // room for the names beyond the pin ends (0 without names)
    int bodyWidth, bodyHeight;
    int bodyLeft, bodyTop;
    int width, height;
    int footerTop;
};

int textWidth(const std::string& s, int font) {
    // Average advance of a sans-serif face in capitals and digits.
    return static_cast<int>(s.size()) * font * 62 / 100;
}

bool isQuad(PackageKind k) { return k != PackageKind::Dip; }

int longestName(const PinTable* table) {
    int widest = 0;
    if (table != nullptr)
        for (const auto& n : table->names) widest = std::max(widest, textWidth(n, kNameFont));
    return widest;
}

Geometry layout(const PackageDrawing& d, int footerLines) {
    Geometry g{};
    const int perSide = isQuad(d.kind) ? d.pinCount / 4 : d.pinCount / 2;
    g.pitch = d.pinCount >= 80 ? 30 : d.pinCount >= 64 ? 34 : 38;
    g.pinWidth = g.pitch / 2;
    switch (d.kind) {
        case PackageKind::Plcc: g.pinLength = 14; break;
        case PackageKind::Qfp: g.pinLength = 26; break;
        case PackageKind::Dip: g.pinLength = 30; break;
    }
    g.nameArea = d.table != nullptr ? longestName(d.table) + 2 * kGap : 0;
    if (isQuad(d.kind)) {
        g.bodyWidth = g.bodyHeight = (perSide + 1) * g.pitch;
        const int text = textWidth(kSeeDataSheet, kFooterFont) + 2 * g.pitch;
        if (d.table == nullptr) g.bodyWidth = g.bodyHeight = std::max(g.bodyWidth, text);
    } else {
        g.bodyHeight = (perSide + 1) * g.pitch;
        g.bodyWidth = 7 * g.pitch;
    }
    const int outside = g.pinLength + g.nameArea;
    g.bodyLeft = kMargin + outside;
    g.bodyTop = kMargin + kTitleHeight + 3 * kGap + (isQuad(d.kind) ? outside : kGap);
    g.width = g.bodyWidth + 2 * g.bodyLeft;
    const int bodyBottom = g.bodyTop + g.bodyHeight + (isQuad(d.kind) ? outside : kGap);
    g.footerTop = bodyBottom + kGap;
    g.height = g.footerTop + footerLines * (kFooterFont + 6) + kMargin;
    // Wide enough for the title and the footer lines.
    const int title = textWidth(std::string(d.devices) + ", " + d.package + ", top view", 18);
    const int footer = d.table != nullptr ? textWidth(d.table->source, kFooterFont) : 0;
    const int need = std::max(title, footer) + 2 * kMargin;
    if (need > g.width) {
        g.bodyLeft += (need - g.width) / 2;
        g.width = need + (need - g.width) % 2;
    }
    return g;
}

// Centre of a pin on the body edge and the outward direction (dx, dy).
struct PinSpot {
    Point edge;
    int dx, dy;
};

PinSpot spot(const Geometry& g, PackageKind kind, const PinPlace& p) {
    const int right = g.bodyLeft + g.bodyWidth;
    const int bottom = g.bodyTop + g.bodyHeight;
    const int along = (p.index + 1) * g.pitch;
    (void)kind;
    switch (p.side) {
        case Side::Left: return {{g.bodyLeft, g.bodyTop + along}, -1, 0};
        case Side::Bottom: return {{g.bodyLeft + along, bottom}, 0, 1};
        case Side::Right: return {{right, bottom - along}, 1, 0};
        case Side::Top: return {{right - along, g.bodyTop}, 0, -1};
    }
    return {};
}

}  // namespace

std::vector<PinPlace> PlacePins(PackageKind kind, int pinCount) {
    std::vector<PinPlace> places;
    if (kind == PackageKind::Dip) {
        if (pinCount % 2 != 0) throw std::invalid_argument("odd pin count");
        const int row = pinCount / 2;
        for (int n = 1; n <= pinCount; ++n)
            places.push_back(n <= row ? PinPlace{n, Side::Left, n - 1}
                                      : PinPlace{n, Side::Right, n - row - 1});
        return places;
    }
    if (pinCount % 4 != 0) throw std::invalid_argument("pin count not a multiple of four");
    const int s = pinCount / 4;
    // The positions around the package, counter-clockwise from the top of the left side.
    std::vector<std::pair<Side, int>> cycle;
    for (Side side : {Side::Left, Side::Bottom, Side::Right, Side::Top})
        for (int i = 0; i < s; ++i) cycle.emplace_back(side, i);
    int start = 0;  // QFP: pin 1 at the top of the left side
    if (kind == PackageKind::Plcc) {
        if (s % 2 == 0) throw std::invalid_argument("PLCC needs an odd number of pins per side");
        start = 3 * s + (s - 1) / 2;  // the middle of the top side
    }
    for (int n = 1; n <= pinCount; ++n) {
        const auto& [side, index] = cycle[static_cast<std::size_t>((start + n - 1) % pinCount)];
        places.push_back({n, side, index});
    }
    return places;
}

std::vector<char> DrawPackage(const PackageDrawing& d) {
    if (d.table != nullptr && d.table->pinCount != d.pinCount)
        throw std::invalid_argument(std::string(d.file) + ": pin table does not fit the package");
    std::vector<std::string> footer;
    if (d.table != nullptr) {
        footer.emplace_back(d.table->source);
        if (*d.table->note != '\0') footer.emplace_back(d.table->note);
    } else if (!isQuad(d.kind)) {
        footer.emplace_back(kSeeDataSheet);
    }
    const Geometry g = layout(d, static_cast<int>(footer.size()));
    const std::string title = std::string(d.devices) + ", " + d.package + ", top view";
    EmfCanvas c(g.width, g.height, title);

    c.setTextColor(0, 0, 0);
    c.text({g.width / 2, kMargin + kTitleHeight - 6}, title, 18, TextAlign::Center, true);

    // Body; a PLCC has its pin 1 corner bevelled.
    const int right = g.bodyLeft + g.bodyWidth;
    const int bottom = g.bodyTop + g.bodyHeight;
    c.setPen(2);
    c.setFill(236, 236, 236);
    if (d.kind == PackageKind::Plcc) {
        const int bevel = g.pitch / 2 + 8, small = 8;
        c.polygon({{g.bodyLeft + bevel, g.bodyTop},
                   {right - small, g.bodyTop},
                   {right, g.bodyTop + small},
                   {right, bottom - small},
                   {right - small, bottom},
                   {g.bodyLeft + small, bottom},
                   {g.bodyLeft, bottom - small},
                   {g.bodyLeft, g.bodyTop + bevel}});
    } else if (d.kind == PackageKind::Dip) {
        c.rectangle({g.bodyLeft, g.bodyTop}, {right, bottom});
        // The notch at the pin 1 end.
        c.setFill(255, 255, 255);
        const int r = g.pitch / 2;
        c.polygon({{g.bodyLeft + g.bodyWidth / 2 - r, g.bodyTop},
                   {g.bodyLeft + g.bodyWidth / 2 - r / 2, g.bodyTop + r},
                   {g.bodyLeft + g.bodyWidth / 2 + r / 2, g.bodyTop + r},
                   {g.bodyLeft + g.bodyWidth / 2 + r, g.bodyTop}});
    } else {
        c.rectangle({g.bodyLeft, g.bodyTop}, {right, bottom});
    }

    // Pins, numbers and names.
    const std::vector<PinPlace> places = PlacePins(d.kind, d.pinCount);
    c.setPen(1, 60, 60, 60);
    c.setFill(176, 176, 176);
    const int half = g.pinWidth / 2;
    const int inside = d.kind == PackageKind::Plcc ? 6 : 0;  // J-leads reach under the body
    for (const PinPlace& p : places) {
        const PinSpot s = spot(g, d.kind, p);
        const int outer = g.pinLength;
        if (s.dx != 0) {
            const int x0 = s.edge.x - s.dx * inside, x1 = s.edge.x + s.dx * outer;
            c.rectangle({std::min(x0, x1), s.edge.y - half}, {std::max(x0, x1), s.edge.y + half});
        } else {
            const int y0 = s.edge.y - s.dy * inside, y1 = s.edge.y + s.dy * outer;
            c.rectangle({s.edge.x - half, std::min(y0, y1)}, {s.edge.x + half, std::max(y0, y1)});
        }
    }
    c.setTextColor(70, 70, 70);
    const int numberInset = inside + kGap;
    for (const PinPlace& p : places) {
        const PinSpot s = spot(g, d.kind, p);
        const std::string number = std::to_string(p.number);
        const int baselineShift = kNumberFont * 35 / 100;
        switch (p.side) {
            case Side::Left:
                c.text({s.edge.x + numberInset, s.edge.y + baselineShift}, number, kNumberFont,
                       TextAlign::Left);
                break;
            case Side::Right:
                c.text({s.edge.x - numberInset, s.edge.y + baselineShift}, number, kNumberFont,
                       TextAlign::Right);
                break;
            case Side::Top:
                c.text({s.edge.x, s.edge.y + numberInset + kNumberFont}, number, kNumberFont,
                       TextAlign::Center);
                break;
            case Side::Bottom:
                c.text({s.edge.x, s.edge.y - numberInset - 3}, number, kNumberFont,
                       TextAlign::Center);
                break;
        }
    }
    if (d.table != nullptr) {
        c.setTextColor(0, 0, 0);
        for (const PinPlace& p : places) {
            const PinSpot s = spot(g, d.kind, p);
            const std::string& name = d.table->names[static_cast<std::size_t>(p.number - 1)];
            const int end = g.pinLength + kGap;
            const int shift = kNameFont * 35 / 100;
            switch (p.side) {
                case Side::Left:
                    c.text({s.edge.x - end, s.edge.y + shift}, name, kNameFont, TextAlign::Right);
                    break;
                case Side::Right:
                    c.text({s.edge.x + end, s.edge.y + shift}, name, kNameFont, TextAlign::Left);
                    break;
                case Side::Top:
                    c.text({s.edge.x + shift, s.edge.y - end}, name, kNameFont, TextAlign::Left,
                           false, true);
                    break;
                case Side::Bottom:
                    c.text({s.edge.x + shift, s.edge.y + end}, name, kNameFont, TextAlign::Right,
                           false, true);
                    break;
            }
        }
    }

    // Pin 1 mark: a dot inside the body beside pin 1.
    {
        const PinSpot s = spot(g, d.kind, places.front());
        c.setPen(1);
        c.setFill(0, 0, 0);
        const int r = 6;
        const int depth = numberInset + 2 * kNumberFont + r;
        Point dot = s.edge;
        if (d.kind == PackageKind::Plcc) dot = {s.edge.x, s.edge.y + depth};
        else dot = {s.edge.x + depth, s.edge.y};
        c.circle(dot, r);
    }

    // What the drawing shows, in the middle of the body.
    c.setTextColor(0, 0, 0);
    const int midX = g.bodyLeft + g.bodyWidth / 2, midY = g.bodyTop + g.bodyHeight / 2;
    if (isQuad(d.kind)) {
        c.text({midX, midY - 14}, d.devices, 20, TextAlign::Center, true);
        c.text({midX, midY + 12}, d.package, 16, TextAlign::Center);
        if (d.table == nullptr) c.text({midX, midY + 48}, kSeeDataSheet, kFooterFont + 2,
                                       TextAlign::Center, true);
    } else {
        c.text({midX + 8, midY}, d.devices, 20, TextAlign::Center, true, true);
    }

    int y = g.footerTop + kFooterFont;
    for (const std::string& line : footer) {
        c.text({g.width / 2, y}, line, kFooterFont, TextAlign::Center, line == kSeeDataSheet);
        y += kFooterFont + 6;
    }
    return c.finish();
}

const std::vector<PackageDrawing>& AllPackageDrawings() {
    using K = PackageKind;
    static const std::vector<PackageDrawing> all = {
        {"EA9_PLCC52.emf", K::Plcc, 52, "MC68HC(7)11EA9", "52-pin PLCC", nullptr},
        {"E_PLCC52.emf", K::Plcc, 52, "MC68HC(7)11E9 / E20", "52-pin PLCC", &ESeriesPlcc52()},
        {"E_QFP64.emf", K::Qfp, 64, "MC68HC(7)11E9 / E20", "64-pin QFP", nullptr},
        {"E_SDIP56.emf", K::Dip, 56, "MC68HC(7)11E9 / E20", "56-pin SDIP", nullptr},
        {"A8_PLCC52.emf", K::Plcc, 52, "MC68HC11A8", "52-pin PLCC", &A8Plcc52()},
        {"A8_DIP48.emf", K::Dip, 48, "MC68HC11A8", "48-pin DIP", &A8Dip48()},
        {"K_PLCC84.emf", K::Plcc, 84, "MC68HC(7)11K4 / K1", "84-pin PLCC", nullptr},
        {"K_QFP80.emf", K::Qfp, 80, "MC68HC(7)11K4 / K1", "80-pin TQFP", nullptr},
        {"KA_PLCC68.emf", K::Plcc, 68, "MC68HC11KA4", "68-pin PLCC", nullptr},
        {"F1_PLCC68.emf", K::Plcc, 68, "MC68HC11F1", "68-pin PLCC", &F1Plcc68()},
        {"KS_PLCC68.emf", K::Plcc, 68, "MC68HC(7)11KS2 / KS4 / KS8", "68-pin PLCC", nullptr},
        {"PH8_PLCC84.emf", K::Plcc, 84, "MC68HC711PH8", "84-pin PLCC", nullptr},
        {"P2_PLCC84.emf", K::Plcc, 84, "MC68HC(7)11P2", "84-pin PLCC", nullptr},
        {"L6_PLCC68.emf", K::Plcc, 68, "MC68HC11L6", "68-pin PLCC", nullptr},
    };
    return all;
}

}  // namespace jqz::tools
