#pragma once
// Copy As: a range or selection of the image as C, assembler or HTML source, and the hex dump
// text from which printouts are built. All texts are 8-bit with CR LF line breaks.
#include <string>

#include "core/image/cell_range.h"

namespace jqz {

class MemoryImage;
class ImageDescription;

enum class CopyAsFormat { CArray, Assembler, Html };

// "unsigned char Data1[N]={" and one "0xHH, " item per cell, 16 to a line.
std::string CArrayText(const MemoryImage& image, const CellSet& cells);
// "fcb" directives of "$HH" items separated by commas, 16 to a line.
std::string AssemblerText(const MemoryImage& image, const CellSet& cells);
// A page with a dump of whole 16-byte rows; cells outside the set show "--".
std::string HtmlText(const MemoryImage& image, const CellSet& cells, const std::string& caption);
std::string CopyAsText(const MemoryImage& image, const CellSet& cells, CopyAsFormat format,
                       const std::string& caption);

// The hex dump for printing: the banner, the project and device names when set, then the
// range widened to whole lines of bytesPerLine cells, each line "AAAA  HH HH ... " CR LF.
// The ends may come in either order; they are held to the image.
std::string DumpText(const MemoryImage& image, const ImageDescription& description,
                     long long from, long long to, int bytesPerLine);

}  // namespace jqz
