#pragma once
// Shows a rich-text (RTF) document in a QTextDocument: the core's reader parses it, this
// adapter turns its paragraphs and runs into blocks and character formats.
#include <QString>

#include "core/device/rtf_reader.h"

class QTextDocument;

namespace jqz {

// Replaces the contents of `target` with the document.
void FillTextDocument(const RtfDocument& rtf, QTextDocument& target);

// Reads the file and fills `target`; false (and `target` emptied) when the file cannot be read.
bool LoadRtfFile(const QString& path, QTextDocument& target);

}  // namespace jqz
