#pragma once
// Whole-file reads and writes. A write goes to a temporary name beside the target and is
// renamed over it, so a failed write never leaves a half-written file or destroys the old one.
#include <optional>
#include <string>

namespace jqz {

// Empty on success, otherwise a message naming the file and the cause.
std::string WriteFileAtomically(const std::string& path, const std::string& bytes);

// The file's bytes, or nullopt when it cannot be read. Files above maxBytes are refused.
std::optional<std::string> ReadWholeFile(const std::string& path,
                                         std::size_t maxBytes = 256u * 1024u * 1024u);

}  // namespace jqz
