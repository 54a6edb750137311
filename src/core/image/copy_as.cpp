#include "core/image/copy_as.h"

#include <algorithm>

#include "core/image/image_description.h"
#include "core/image/editor_messages.h"
#include "core/image/memory_image.h"
#include "core/image/number_parsers.h"

namespace jqz {

namespace {

void appendHex(std::string& out, long long value, int digits) {
    for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4)
        out.push_back(HexDigit(static_cast<int>(value >> shift)));
}

// Range mode breaks before every address that starts a 16-byte row, selection mode before
// every 16th item; never before the first item.
bool breaksBefore(const CellSet& cells, int index, int address) {
    if (index == 0) return false;
    return cells.isSelection() ? index % kGridColumns == 0 : address % kGridColumns == 0;
}

}  // namespace

std::string CArrayText(const MemoryImage& image, const CellSet& cells) {
    std::string out = std::string("// ") + kGeneratorBanner + "\r\nunsigned char Data1[" +
                      std::to_string(cells.count()) + "]={\r\n";
    out.reserve(out.size() + static_cast<std::size_t>(cells.count()) * 7);
    int index = 0;
    cells.forEach([&](int a) {
        if (breaksBefore(cells, index, a)) out += "\r\n";
        out += "0x";
        appendHex(out, image.ReadData(a), 2);
        out += ", ";
        ++index;
    });
    out.resize(out.size() - 2);
    out += "};";
    return out;
}

std::string AssemblerText(const MemoryImage& image, const CellSet& cells) {
    std::string out = std::string("* ") + kGeneratorBanner + "\r\n        fcb   ";
    out.reserve(out.size() + static_cast<std::size_t>(cells.count()) * 5);
    int index = 0;
    // Items are separated by commas within a line only: an assembler reads a comma at the end
    // of a line as one more, missing, expression.
    cells.forEach([&](int a) {
        if (breaksBefore(cells, index, a)) {
            out += "\r\n\tfcb\t";
        } else if (index > 0) {
            out += ",";
        }
        out += "$";
        appendHex(out, image.ReadData(a), 2);
        ++index;
    });
    return out;
}

std::string HtmlText(const MemoryImage& image, const CellSet& cells, const std::string& caption) {
    const std::string banner = kGeneratorBanner;
    std::string out;
    out += "<html>\r\n\r\n<head>\r\n<title>\r\n" + caption + "\r\n</title>\r\n";
    out += "<meta name=\"GENERATOR\" CONTENT=\"" + banner + "\">\r\n</head>\r\n\r\n";
    out += "<body bgcolor=\"#FFFFFF\">\r\n<h1><center>\r\n" + caption + "\r\n</center></h1>\r\n";
    out += "<hr>\r\n<pre><code><font color=\"#000000\">";
    const int first = cells.first() & 0xFFF0;
    const int last = (cells.last() & 0xFFF0) + 0xF;
    out.reserve(out.size() + static_cast<std::size_t>(last - first + 1) / 16 * 56 + 256);
    for (int row = first; row <= last; row += kGridColumns) {
        appendHex(out, row, 4);
        out += "  ";
        for (int a = row; a < row + kGridColumns; ++a) {
            if (cells.contains(a)) {
                appendHex(out, image.ReadData(a), 2);
            } else {
                out += "--";
            }
            out += ' ';
        }
        out += "\r\n";
    }
    out += "</font>\r\n</code></pre>\r\n<hr>\r\n<font size=\"-3\">\r\n";
    // The product has no web address of its own, so the banner stands without a link.
    out += "HTML Page " + banner + "\r\n";
    out += "</font>\r\n</body>\r\n\r\n</html>";
    return out;
}

std::string CopyAsText(const MemoryImage& image, const CellSet& cells, CopyAsFormat format,
                       const std::string& caption) {
    switch (format) {
        case CopyAsFormat::CArray: return CArrayText(image, cells);
        case CopyAsFormat::Assembler: return AssemblerText(image, cells);
        case CopyAsFormat::Html: return HtmlText(image, cells, caption);
    }
    return {};
}

std::string DumpText(const MemoryImage& image, const ImageDescription& description,
                     long long from, long long to, int bytesPerLine) {
    std::string out = std::string(kGeneratorBanner) + "\r\n";
    const std::string project = description.projectName();
    if (!project.empty()) out += "Project : " + project + "\r\n";
    const std::string device = description.deviceName();
    if (!device.empty()) out += "Device : " + device + "\r\n";
    if (bytesPerLine < 1) bytesPerLine = 1;
    if (to < from) std::swap(from, to);
    from = std::clamp<long long>(from, 0, MemoryImage::LastAddress());
    to = std::clamp<long long>(to, 0, MemoryImage::LastAddress());
    const long long first = from / bytesPerLine * bytesPerLine;
    const long long last = to / bytesPerLine * bytesPerLine + bytesPerLine - 1;
    out.reserve(out.size() + static_cast<std::size_t>(last - first + 1) * 3 +
                static_cast<std::size_t>((last - first + 1) / bytesPerLine) * 8);
    for (long long a = first; a <= last; ++a) {
        if (a % bytesPerLine == 0) {
            appendHex(out, a, a > 0xFFFF ? 5 : 4);
            out += "  ";
        }
        appendHex(out, image.ReadData(a), 2);
        out += ' ';
        if ((a + 1) % bytesPerLine == 0) out += "\r\n";
    }
    return out;
}

}  // namespace jqz
