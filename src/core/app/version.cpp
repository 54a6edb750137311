#include "core/app/version.h"

namespace jqz {

// JQZ_VERSION comes from the build: the version of the CMake project.
std::string ProgramVersion() {
    return JQZ_VERSION;
}

}  // namespace jqz
