#include "platform/posix/png_writer.h"

#include <cairo.h>

#include <exception>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

#include "platform/posix/atomic_file.h"

namespace borvane {

void WritePng(const Image& image, const std::filesystem::path& file) {
  if (image.IsEmpty()) throw std::runtime_error("cannot write an empty picture to " + file.string());
  std::unique_ptr<cairo_surface_t, void (*)(cairo_surface_t*)> surface(
      cairo_image_surface_create(CAIRO_FORMAT_ARGB32, image.Width(), image.Height()),
      cairo_surface_destroy);
  if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) {
    throw std::runtime_error(std::string("picture surface: ") +
                             cairo_status_to_string(cairo_surface_status(surface.get())));
  }
  cairo_surface_flush(surface.get());
  unsigned char* data = cairo_image_surface_get_data(surface.get());
  const int stride = cairo_image_surface_get_stride(surface.get());
  // Cairo wants native-endian premultiplied 0xAARRGGBB; ours is 0xAABBGGRR.
  for (std::int32_t y = 0; y < image.Height(); ++y) {
    auto* row = reinterpret_cast<std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
    for (std::int32_t x = 0; x < image.Width(); ++x) {
      const Pixel p = image.At(x, y);
      const std::uint32_t a = PixelAlpha(p);
      const auto premultiply = [a](std::uint32_t c) { return (c * a + 127) / 255; };
      row[x] = (a << 24) | (premultiply(p & 0xFF) << 16) | (premultiply((p >> 8) & 0xFF) << 8) |
               premultiply((p >> 16) & 0xFF);
    }
  }
  cairo_surface_mark_dirty(surface.get());
  // Cairo's own file writer leaves a truncated picture behind on a full
  // disk and reports every failure with one generic message; through an
  // AtomicFile the picture appears whole or not at all, and the error names
  // the file and the system's reason.
  struct Sink {
    AtomicFile File;
    std::exception_ptr Failure;
  } sink{AtomicFile(file), nullptr};
  const auto write = [](void* closure, const unsigned char* bytes, unsigned int length) {
    auto* target = static_cast<Sink*>(closure);
    try {
      target->File.Write(std::string_view(reinterpret_cast<const char*>(bytes), length));
      return CAIRO_STATUS_SUCCESS;
    } catch (...) {
      target->Failure = std::current_exception();
      return CAIRO_STATUS_WRITE_ERROR;
    }
  };
  const cairo_status_t status = cairo_surface_write_to_png_stream(surface.get(), write, &sink);
  if (sink.Failure) std::rethrow_exception(sink.Failure);
  if (status != CAIRO_STATUS_SUCCESS) {
    throw std::runtime_error("cannot write " + file.string() + ": " + cairo_status_to_string(status));
  }
  sink.File.Commit();
}

}  // namespace borvane
