#include "ui/image/grid_font.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QRawFont>

namespace jqz {

namespace {

// Whether a font of this family is drawn with this family, at a fixed pitch. A family the
// font database marks fixed-pitch can still be resolved to another one (an alias), and a
// "monospace" of the desktop can be a family without the fixed-pitch mark: the grids need
// the one and not the other.
bool drawsFixedPitch(const QString& family) {
    if (family.isEmpty() || !QFontDatabase::hasFamily(family) ||
        !QFontDatabase::isFixedPitch(family) || !DrawsHexDigits(family))
        return false;
    QFont font(family);
    font.setStyleHint(QFont::TypeWriter);
    const QFontInfo info(font);
    return info.fixedPitch() && info.family().compare(family, Qt::CaseInsensitive) == 0;
}

}  // namespace

bool DrawsHexDigits(const QString& family) {
    // The family's own glyphs, without the fallbacks a text layout would take.
    const QRawFont raw = QRawFont::fromFont(QFont(family));
    if (!raw.isValid()) return false;
    for (const QChar c : QStringLiteral("0123456789ABCDEF"))
        if (!raw.supportsCharacter(c)) return false;
    return true;
}

QString DefaultGridFamily() {
    QStringList candidates{QFontInfo(QFontDatabase::systemFont(QFontDatabase::FixedFont)).family(),
                           QStringLiteral("DejaVu Sans Mono"), QStringLiteral("Liberation Mono"),
                           QStringLiteral("Noto Mono")};
    candidates += FixedPitchFamilies();
    for (const QString& family : candidates)
        if (drawsFixedPitch(family)) return family;
    // No fixed-pitch family at all: the desktop's fixed font, whatever it is; the cells are
    // measured from its characters.
    return candidates.front();
}

QString GridFontFamily(const QString& name) {
    return drawsFixedPitch(name) ? name : DefaultGridFamily();
}

QFont GridFont(const std::string& name, int pixels) {
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setFamilies({GridFontFamily(QString::fromStdString(name))});
    font.setPixelSize(pixels);
    font.setFixedPitch(true);
    font.setStyleHint(QFont::TypeWriter);
    return font;
}

QStringList FixedPitchFamilies() {
    QStringList families;
    for (const QString& family : QFontDatabase::families())
        if (QFontDatabase::isFixedPitch(family) && DrawsHexDigits(family)) families << family;
    return families;
}

}  // namespace jqz
