// Writes every package drawing the device catalogue names into the folder given as the only
// argument. Fails, writing nothing further, when a pin table is unsound or the catalogue names
// a drawing this tool does not know.
#include <cstdio>
#include <set>
#include <string>

#include "core/platform/atomic_file.h"
#include "core/device/supported_device_list.h"
#include "package_drawing.h"

int main(int argc, char** argv) {
    using namespace jqz::tools;
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
        return 2;
    }
    const std::string folder = argv[1];
    for (const PinTable* t : AllPinTables()) {
        const std::string problem = CheckPinTable(*t);
        if (!problem.empty()) {
            std::fprintf(stderr, "pin table: %s\n", problem.c_str());
            return 1;
        }
    }
    std::set<std::string> named;
    for (const auto& e : jqz::DeviceCatalogue())
        for (const char* f : e.drawings)
            if (f != nullptr) named.insert(f);
    std::set<std::string> known;
    for (const auto& d : AllPackageDrawings()) known.insert(d.file);
    for (const auto& f : named)
        if (!known.count(f)) {
            std::fprintf(stderr, "no drawing defined for %s\n", f.c_str());
            return 1;
        }
    try {
        for (const auto& d : AllPackageDrawings()) {
            if (!named.count(d.file)) continue;
            const std::vector<char> bytes = DrawPackage(d);
            const std::string path = folder + "/" + d.file;
            const std::string error =
                jqz::WriteFileAtomically(path, std::string(bytes.begin(), bytes.end()));
            if (!error.empty()) {
                std::fprintf(stderr, "%s\n", error.c_str());
                return 1;
            }
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
