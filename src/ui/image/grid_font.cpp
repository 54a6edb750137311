#include "ui/image/grid_font.h"

#include <QFontDatabase>
#include <QFontInfo>

namespace jqz {

QString GridFontFamily(const QString& name) {
    if (QFontDatabase::hasFamily(name) && QFontDatabase::isFixedPitch(name)) return name;
    // The family the desktop's fixed-width font resolves to, not its alias ("Monospace").
    const QString system = QFontInfo(QFontDatabase::systemFont(QFontDatabase::FixedFont)).family();
    if (QFontDatabase::isFixedPitch(system)) return system;
    // A system whose fixed-width font is missing (Windows without Courier New) falls back to a
    // proportional one, which would break the grid's columns: its first fixed-width family.
    const QStringList fixed = FixedPitchFamilies();
    return fixed.isEmpty() ? system : fixed.front();
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
        if (QFontDatabase::isFixedPitch(family)) families << family;
    return families;
}

}  // namespace jqz
