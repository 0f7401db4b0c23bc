#pragma once
// Reads a PNG file into 0xAABBGGRR pixels (the Linux panel's snapshot).

#include <cstdint>
#include <string>
#include <vector>

namespace host_check {

struct Picture {
  int Width = 0;
  int Height = 0;
  std::vector<std::uint32_t> Pixels;  // 0xAABBGGRR, rows top to bottom
};

// False when the file does not read as a PNG.
bool ReadPng(const std::wstring& path, Picture& picture);

}  // namespace host_check
