// The settings reader takes any bytes.
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/app/settings_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    jqz::AppSettings settings;
    settings.readFrom(jqz::NameValueList::Parse(bytes));
    const std::string written = settings.toList().text();
    jqz::AppSettings again;
    again.readFrom(jqz::NameValueList::Parse(written));
    if (again.toList().text() != written) __builtin_trap();
    return 0;
}
