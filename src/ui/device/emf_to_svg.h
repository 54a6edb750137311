#pragma once
// The SVG text of a package drawing, as libemf2svg writes it where the system has no
// Enhanced Metafile player of its own (every system but Windows).
#include <QByteArray>

namespace jqz {

// The SVG text of an Enhanced Metafile, or an empty array when the bytes are not one.
QByteArray EmfToSvg(const QByteArray& emf);

}  // namespace jqz
