#pragma once
// The editor grids' fonts. The names the editor starts with, "System" and "Terminal", and any
// name this desktop has no fixed-pitch family of, are drawn with a fixed-pitch family: the
// desktop's fixed-width font when it is one, else a common one that is installed, else the
// first fixed-pitch family there is. The settings keep the names as they are.
#include <QFont>
#include <QStringList>
#include <string>

namespace jqz {

// The family "System" and "Terminal" are drawn with.
QString DefaultGridFamily();
// The family a stored font name is drawn with.
QString GridFontFamily(const QString& name);
// The font a grid draws with: that family at the character height given in pixels.
QFont GridFont(const std::string& name, int pixels);
// The fixed-pitch families of this desktop that draw the digits 0-9 and A-F, in the font
// database's order.
QStringList FixedPitchFamilies();
// Whether the family itself has the glyphs of 0-9 and A-F.
bool DrawsHexDigits(const QString& family);

}  // namespace jqz
