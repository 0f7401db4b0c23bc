#pragma once
// Writes a frame as a PNG file (through cairo). Throws std::runtime_error
// with cairo's message when the file cannot be written.

#include <filesystem>

#include "container/image.h"

namespace borvane {

void WritePng(const Image& image, const std::filesystem::path& file);

}  // namespace borvane
