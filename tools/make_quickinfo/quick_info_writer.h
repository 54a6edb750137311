#pragma once
// The quick-info documents of the "dhelp" folder: one rich-text document per name the device
// catalogue gives, built from the catalogue's rows (devices, type codes, memory map, packages)
// and the programming notes a technician needs at the programmer.
#include <map>
#include <string>

namespace jqz::tools {

// Document name (e.g. "E9.rtf") -> RTF text, for every quick-info document the catalogue names.
std::map<std::string, std::string> BuildQuickInfoDocuments();

}  // namespace jqz::tools
