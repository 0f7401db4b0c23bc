#pragma once
// Writes a frame as a PNG file (encoded by cairo). The file appears whole
// or not at all, replacing any file or link of that name (AtomicFile).
// Throws std::runtime_error naming the file and the cause when it cannot
// be written.

#include <filesystem>

#include "container/image.h"

namespace borvane {

void WritePng(const Image& image, const std::filesystem::path& file);

}  // namespace borvane
