// stb's PNG decoder, private to this program (the component's own copy of
// stb decodes only BMP and GIF). Its own warnings are not ours.
#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_STATIC
#define STBI_ONLY_PNG
#define STBI_NO_STDIO
#include <stb_image.h>

#include <windows.h>

#include <cstring>

#include "tests/windows/png_reader.h"

namespace host_check {

bool ReadPng(const std::wstring& path, Picture& picture) {
  HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  std::vector<unsigned char> bytes(::GetFileSize(file, nullptr));
  DWORD read = 0;
  const BOOL ok = ::ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
  ::CloseHandle(file);
  if (!ok || read != bytes.size()) return false;
  int channels = 0;
  unsigned char* decoded = stbi_load_from_memory(bytes.data(), static_cast<int>(bytes.size()),
                                                 &picture.Width, &picture.Height, &channels, 4);
  if (decoded == nullptr) return false;
  picture.Pixels.resize(static_cast<std::size_t>(picture.Width) * picture.Height);
  std::memcpy(picture.Pixels.data(), decoded, picture.Pixels.size() * 4);
  stbi_image_free(decoded);
  return true;
}

}  // namespace host_check
