# Writes the talker's bytes and its patch offsets as C++ (run with cmake -P).
# In: BIN (the raw image), SYMBOLS (m68hc11-nm output), OUT (the .cpp to write).
file(READ ${BIN} hex HEX)
string(LENGTH "${hex}" hex_length)
math(EXPR size "${hex_length} / 2")
if(size GREATER 244)
  message(FATAL_ERROR "The talker has ${size} bytes; its work bytes and stack begin at 0xF4")
endif()
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
file(STRINGS ${SYMBOLS} symbol_lines)
foreach(name delay_count ident identend)
  set(offset_${name} "")
  foreach(line IN LISTS symbol_lines)
    if(line MATCHES "^([0-9a-fA-F]+) [A-Za-z] ${name}$")
      math(EXPR offset_${name} "0x${CMAKE_MATCH_1}" OUTPUT_FORMAT DECIMAL)
    endif()
  endforeach()
  if(offset_${name} STREQUAL "")
    message(FATAL_ERROR "The talker has no symbol ${name}")
  endif()
endforeach()
math(EXPR ident_length "${offset_identend} - ${offset_ident}")
file(WRITE ${OUT}.tmp
"// Generated from src/core/link/talker/talker.s at build time; do not edit.
#include \"core/link/talker_image.h\"

namespace jqz {

namespace {
constexpr std::uint8_t kTalkerBytes[] = {${bytes}};
}  // namespace

std::span<const std::uint8_t> TalkerImage() { return kTalkerBytes; }
const TalkerLayout kTalkerLayout{${offset_delay_count}, ${offset_ident}, ${ident_length}};

}  // namespace jqz
")
file(COPY_FILE ${OUT}.tmp ${OUT} ONLY_IF_DIFFERENT)
