// The generated package drawings: each converts to a picture that shows every pin number and,
// where a checked pin table exists, every signal name beside its own pin.
#include <QFile>
#include <QRegularExpression>
#include <QSvgRenderer>
#include <QtTest>
#include <map>

#include "emf_canvas.h"
#include "package_drawing.h"
#include "pin_tables.h"
#include "ui/device/emf_picture.h"
#include "ui/device/emf_to_svg.h"

using namespace jqz;
using namespace jqz::tools;

namespace {

struct SvgText {
    QString text;
    double x, y;
    bool turned;       // drawn in a quarter-turned group
    double ox, oy;     // that group's origin
};

// The texts of an SVG written by the converter, with the group transform each sits in.
std::vector<SvgText> svgTexts(const QByteArray& svg) {
    std::vector<SvgText> out;
    static const QRegularExpression group(
        R"(<g transform="matrix\(([-\d.]+) ([-\d.]+) ([-\d.]+) ([-\d.]+) ([-\d.]+) ([-\d.]+)\)\">)");
    static const QRegularExpression text(
        R"re(<text [^>]*x="([-\d.]+)" y="([-\d.]+)"[^>]*><!\[CDATA\[(.*?)\]\]></text>)re");
    bool turned = false;
    double ox = 0, oy = 0;
    for (const QString& line : QString::fromUtf8(svg).split('\n')) {
        const auto g = group.match(line);
        if (g.hasMatch()) {
            turned = g.captured(2).toDouble() < -0.5;  // (0 -1 1 0): a quarter turn left
            ox = g.captured(5).toDouble();
            oy = g.captured(6).toDouble();
        }
        const auto t = text.match(line);
        if (t.hasMatch())
            out.push_back({t.captured(3), t.captured(1).toDouble(), t.captured(2).toDouble(),
                           turned, ox, oy});
    }
    return out;
}

QByteArray drawingSvg(const char* file) {
    QFile f(QStringLiteral(JQZ_DHELP_DIR "/") + QLatin1String(file));
    if (!f.open(QIODevice::ReadOnly)) return {};
    return EmfToSvg(f.readAll());
}

// The texts of a metafile's EMR_EXTTEXTOUTW records, each with the advance of every character.
struct EmfText {
    QString text;
    std::vector<std::uint32_t> advances;
};
std::vector<EmfText> emfTexts(const QByteArray& emf) {
    auto u32 = [&emf](qsizetype at) {
        std::uint32_t v = 0;
        for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<std::uint8_t>(emf[at + i]);
        return v;
    };
    std::vector<EmfText> out;
    for (qsizetype at = 0; at + 8 <= emf.size();) {
        const std::uint32_t type = u32(at), size = u32(at + 4);
        if (size < 8 || at + size > static_cast<std::uint32_t>(emf.size())) break;
        if (type == 84) {  // the EMRTEXT at 36: reference, chars, offString, options, bounds, offDx
            const std::uint32_t chars = u32(at + 44), offString = u32(at + 48), offDx = u32(at + 72);
            EmfText t;
            t.text = QString::fromUtf16(reinterpret_cast<const char16_t*>(emf.constData() + at + offString),
                                        static_cast<qsizetype>(chars));
            for (std::uint32_t i = 0; i < chars; ++i) t.advances.push_back(u32(at + offDx + 4 * i));
            out.push_back(t);
        }
        at += size;
    }
    return out;
}

}  // namespace

class TestPackageDrawings : public QObject {
    Q_OBJECT
private slots:
    // Every character advances by its own width, as the face draws it (a player that honours
    // the advances, as Windows' does, spaces "top view" evenly): a narrow "i" less than an
    // "o", the same letter alike everywhere.
    void eachCharacterAdvancesByItsOwnWidth() {
        QFile f(QStringLiteral(JQZ_DHELP_DIR "/E_PLCC52.emf"));
        QVERIFY(f.open(QIODevice::ReadOnly));
        const std::vector<EmfText> texts = emfTexts(f.readAll());
        QVERIFY(texts.size() > 52);
        bool title = false;
        for (const EmfText& t : texts) {
            QCOMPARE(t.advances.size(), std::size_t(t.text.size()));
            const qsizetype i = t.text.indexOf('i'), o = t.text.indexOf('o');
            if (i >= 0 && o >= 0) QVERIFY2(t.advances[std::size_t(i)] < t.advances[std::size_t(o)], qPrintable(t.text));
            for (qsizetype a = 0; a < t.text.size(); ++a)
                for (qsizetype b = a + 1; b < t.text.size(); ++b)
                    if (t.text[a] == t.text[b]) QCOMPARE(t.advances[std::size_t(a)], t.advances[std::size_t(b)]);
            if (t.text.endsWith("top view")) {
                title = true;
                const std::u16string view = u"top view";
                // The title: bold, 18 units high.
                const auto expected = GlyphAdvances(reinterpret_cast<const std::uint16_t*>(view.data()),
                                                    view.size(), 18, true);
                const std::vector<std::uint32_t> last(t.advances.end() - 8, t.advances.end());
                for (std::size_t k = 0; k < 8; ++k)
                    QCOMPARE(last[k], expected[k]);
            }
        }
        QVERIFY2(title, "no title ending in \"top view\"");
    }

    void pinsGoCounterClockwiseFromPinOne() {
        struct Case {
            PackageKind kind;
            int pins, number;
            Side side;
            int index;
        };
        const Case cases[] = {
            // PLCC 52: pin 1 in the middle of the top, going left, then down the left side
            {PackageKind::Plcc, 52, 1, Side::Top, 6},   {PackageKind::Plcc, 52, 7, Side::Top, 12},
            {PackageKind::Plcc, 52, 8, Side::Left, 0},  {PackageKind::Plcc, 52, 20, Side::Left, 12},
            {PackageKind::Plcc, 52, 21, Side::Bottom, 0}, {PackageKind::Plcc, 52, 34, Side::Right, 0},
            {PackageKind::Plcc, 52, 46, Side::Right, 12}, {PackageKind::Plcc, 52, 47, Side::Top, 0},
            {PackageKind::Plcc, 52, 52, Side::Top, 5},  {PackageKind::Plcc, 68, 9, Side::Top, 16},
            {PackageKind::Plcc, 68, 10, Side::Left, 0}, {PackageKind::Plcc, 84, 11, Side::Top, 20},
            {PackageKind::Plcc, 84, 12, Side::Left, 0}, {PackageKind::Plcc, 84, 84, Side::Top, 9},
            // QFP: pin 1 at the top of the left side
            {PackageKind::Qfp, 64, 1, Side::Left, 0},   {PackageKind::Qfp, 64, 17, Side::Bottom, 0},
            {PackageKind::Qfp, 64, 33, Side::Right, 0}, {PackageKind::Qfp, 64, 64, Side::Top, 15},
            {PackageKind::Qfp, 80, 21, Side::Bottom, 0},
            // DIP: down the left row, back up the right row
            {PackageKind::Dip, 48, 1, Side::Left, 0},   {PackageKind::Dip, 48, 24, Side::Left, 23},
            {PackageKind::Dip, 48, 25, Side::Right, 0}, {PackageKind::Dip, 48, 48, Side::Right, 23},
            {PackageKind::Dip, 56, 29, Side::Right, 0},
        };
        for (const Case& c : cases) {
            const auto places = PlacePins(c.kind, c.pins);
            QCOMPARE(int(places.size()), c.pins);
            const PinPlace& p = places[static_cast<std::size_t>(c.number - 1)];
            QCOMPARE(p.number, c.number);
            QVERIFY2(p.side == c.side && p.index == c.index,
                     qPrintable(QStringLiteral("pin %1 of %2").arg(c.number).arg(c.pins)));
        }
    }

    void pinTablesAreSound() {
        for (const PinTable* t : AllPinTables()) QCOMPARE(QString::fromStdString(CheckPinTable(*t)), QString());
        // the checks catch a table that lost a pin or repeats one
        PinTable broken = A8Dip48();
        broken.names.pop_back();
        QVERIFY(!CheckPinTable(broken).empty());
        broken = A8Dip48();
        broken.names[1] = broken.names[0];
        QVERIFY(!CheckPinTable(broken).empty());
    }

    void everyDrawingShowsItsPins() {
        for (const PackageDrawing& d : AllPackageDrawings()) {
            const QByteArray svg = drawingSvg(d.file);
            QVERIFY2(!svg.isEmpty(), d.file);
            QSvgRenderer renderer(svg);
            QVERIFY2(renderer.isValid() && !renderer.defaultSize().isEmpty(), d.file);
            const auto texts = svgTexts(svg);
            std::map<QString, SvgText> byText;
            for (const auto& t : texts) byText.emplace(t.text, t);
            for (int n = 1; n <= d.pinCount; ++n)
                QVERIFY2(byText.count(QString::number(n)),
                         qPrintable(QStringLiteral("%1: pin %2 unnumbered").arg(d.file).arg(n)));
            QVERIFY2(byText.count(QString::number(d.pinCount + 1)) == 0, d.file);
            if (d.table == nullptr) {
                QVERIFY2(byText.count(kSeeDataSheet), d.file);
                continue;
            }
            QVERIFY2(byText.count(kSeeDataSheet) == 0, d.file);
            QVERIFY2(byText.count(d.table->source), d.file);
            // every name sits beside the number of its own pin
            for (int n = 1; n <= d.pinCount; ++n) {
                const QString name = QString::fromStdString(d.table->names[std::size_t(n - 1)]);
                QVERIFY2(byText.count(name), qPrintable(QStringLiteral("%1: %2").arg(d.file, name)));
                const SvgText& label = byText.at(name);
                const SvgText& number = byText.at(QString::number(n));
                const QString where = QStringLiteral("%1 pin %2 %3").arg(d.file).arg(n).arg(name);
                if (label.turned)
                    QVERIFY2(qAbs(label.ox - number.x) < 8, qPrintable(where));
                else
                    QVERIFY2(qAbs(label.y - number.y) < 4, qPrintable(where));
            }
        }
    }

    void theEAndA8PlccsAgreeOnEveryPortPin() {
        // Two sources for one pin-out: the port bit on every pin must be the same.
        const auto& e = ESeriesPlcc52().names;
        const auto& a = A8Plcc52().names;
        static const QRegularExpression port(R"(P[A-E][0-7])");
        for (std::size_t i = 0; i < e.size(); ++i) {
            const auto pe = port.match(QString::fromStdString(e[i]));
            const auto pa = port.match(QString::fromStdString(a[i]));
            QCOMPARE(pe.hasMatch(), pa.hasMatch());
            if (pe.hasMatch()) QCOMPARE(pe.captured(), pa.captured());
        }
    }
};

QTEST_MAIN(TestPackageDrawings)
#include "tst_package_drawings.moc"
