# Turns every artwork and design-data file in resources/ into one C++ source
# holding their bytes, so the library carries them without files at run time.
# Run as: cmake -DOUT=... -DFILES="a|b" -P embed.cmake

# FILES arrives '|'-separated (see CMakeLists.txt).
string(REPLACE "|" ";" FILES "${FILES}")

set(body "")
set(table "")
set(index 0)
foreach(path IN LISTS FILES)
  get_filename_component(name "${path}" NAME)
  file(READ "${path}" hex HEX)
  string(LENGTH "${hex}" hex_length)
  math(EXPR size "${hex_length} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(APPEND body "alignas(8) const std::uint8_t kData${index}[] = {${bytes} 0};\n")
  string(APPEND table "  {\"${name}\", {kData${index}, ${size}}},\n")
  math(EXPR index "${index} + 1")
endforeach()

file(WRITE "${OUT}.tmp" "// Generated from resources/ at build time; do not edit.
#include \"resources/embedded.h\"

#include <cstring>

namespace borvane {
namespace {
${body}
struct Entry {
  const char* Name;
  std::span<const std::uint8_t> Bytes;
};
const Entry kEntries[] = {
${table}  {nullptr, {}},
};
}  // namespace

std::span<const std::uint8_t> EmbeddedResource(std::string_view name) {
  for (const Entry* e = kEntries; e->Name != nullptr; ++e) {
    if (name == e->Name) return e->Bytes;
  }
  return {};
}

}  // namespace borvane
")
execute_process(COMMAND ${CMAKE_COMMAND} -E copy_if_different "${OUT}.tmp" "${OUT}")
file(REMOVE "${OUT}.tmp")
