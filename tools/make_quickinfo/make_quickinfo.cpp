// Writes every quick-info document the device catalogue names into the folder given as the
// only argument.
#include <cstdio>
#include <string>

#include "core/platform/atomic_file.h"
#include "quick_info_writer.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
        return 2;
    }
    for (const auto& [name, text] : jqz::tools::BuildQuickInfoDocuments()) {
        const std::string error = jqz::WriteFileAtomically(std::string(argv[1]) + "/" + name, text);
        if (!error.empty()) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return 1;
        }
    }
    return 0;
}
