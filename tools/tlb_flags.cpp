// tlb_flags FILE.tlb GUID FLAGS
//
// Sets type flags (TYPEFLAGS bits, hexadecimal) on one type description of a
// compiled type library in place. The IDL compiler we use refuses some
// attributes on dispatch interfaces (nonextensible); the library's event
// interface needs that flag, so the build adds it here. Descriptions are
// found by their identifier in the library's identifier table; a dual
// interface is stored twice under one identifier (its dispatch side and its
// function-table side), and both get the flags.
//
// Layout read here (the compiled type library format, all integers
// little-endian 32-bit): a 0x54-byte header whose word at 0x14 carries a
// flag 0x100 when a help library name follows the header, and whose word at
// 0x20 counts type descriptions; then one offset per description; then a
// directory of 15 segments of 16 bytes (offset, length, two reserved words).
// Segment 0 holds the descriptions (0x64 bytes each; identifier position at
// 0x2C, type flags at 0x30); segment 5 holds identifier entries (16 bytes of
// identifier, then two words).

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "library/guid.h"

namespace {

std::uint32_t ReadWord(const std::vector<char>& data, std::size_t at) {
  if (at + 4 > data.size()) throw std::string("truncated type library");
  std::uint32_t word = 0;
  for (std::size_t i = 0; i < 4; ++i) {
    word |= static_cast<std::uint32_t>(static_cast<unsigned char>(data[at + i])) << (8 * i);
  }
  return word;
}

void WriteWord(std::vector<char>& data, std::size_t at, std::uint32_t word) {
  for (std::size_t i = 0; i < 4; ++i) data[at + i] = static_cast<char>(word >> (8 * i));
}

void Run(const std::string& path, const borvane::Guid& guid, std::uint32_t flags) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw "cannot read " + path;
  std::vector<char> data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  in.close();

  if (ReadWord(data, 0) != 0x5446534D) throw path + " is not a compiled type library";
  const std::uint32_t count = ReadWord(data, 0x20);
  std::size_t offsets = 0x54;
  if (ReadWord(data, 0x14) & 0x100) offsets += 4;
  const std::size_t segments = offsets + 4 * count;
  const std::uint32_t infos = ReadWord(data, segments);
  const std::uint32_t guids = ReadWord(data, segments + 5 * 16);
  const auto wanted = guid.ToBytes();

  int patched = 0;
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::size_t info = infos + ReadWord(data, offsets + 4 * i);
    const std::uint32_t position = ReadWord(data, info + 0x2C);
    if (position == 0xFFFFFFFF) continue;
    const std::size_t entry = guids + position;
    if (entry + 16 > data.size()) throw std::string("truncated identifier table");
    bool same = true;
    for (std::size_t b = 0; b < 16; ++b) {
      same = same && static_cast<unsigned char>(data[entry + b]) == wanted[b];
    }
    if (!same) continue;
    WriteWord(data, info + 0x30, ReadWord(data, info + 0x30) | flags);
    ++patched;
  }
  if (patched == 0) throw "no type description " + guid.ToString() + " in " + path;
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(data.data(), static_cast<std::streamsize>(data.size()));
  if (!out) throw "cannot write " + path;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: tlb_flags FILE.tlb GUID FLAGS\n");
    return 2;
  }
  const auto guid = borvane::Guid::Parse(argv[2]);
  if (!guid) {
    std::fprintf(stderr, "tlb_flags: not an identifier: %s\n", argv[2]);
    return 2;
  }
  try {
    Run(argv[1], *guid, static_cast<std::uint32_t>(std::strtoul(argv[3], nullptr, 16)));
  } catch (const std::string& message) {
    std::fprintf(stderr, "tlb_flags: %s\n", message.c_str());
    return 1;
  }
  return 0;
}
