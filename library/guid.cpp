#include "library/guid.h"

#include <cstdio>

namespace borvane {

std::string Guid::ToString() const {
  char text[39];
  std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                static_cast<unsigned>(Data1), static_cast<unsigned>(Data2),
                static_cast<unsigned>(Data3), Data4[0], Data4[1], Data4[2], Data4[3], Data4[4],
                Data4[5], Data4[6], Data4[7]);
  return text;
}

std::array<std::uint8_t, 16> Guid::ToBytes() const {
  std::array<std::uint8_t, 16> bytes{};
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<std::uint8_t>(Data1 >> (8 * i));
  for (int i = 0; i < 2; ++i) bytes[4 + i] = static_cast<std::uint8_t>(Data2 >> (8 * i));
  for (int i = 0; i < 2; ++i) bytes[6 + i] = static_cast<std::uint8_t>(Data3 >> (8 * i));
  for (int i = 0; i < 8; ++i) bytes[8 + i] = Data4[i];
  return bytes;
}

}  // namespace borvane
