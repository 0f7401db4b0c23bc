#include "platform/gtk/pango_text_engine.h"

#include <cairo.h>
#include <pango/pangocairo.h>

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>

#include "container/utf8.h"

namespace borvane {

namespace {
constexpr double kDotsPerInch = 96.0;

template <typename T, void (*Free)(T*)>
struct Freer {
  void operator()(T* p) const { Free(p); }
};
using CairoSurface = std::unique_ptr<cairo_surface_t, Freer<cairo_surface_t, cairo_surface_destroy>>;
using CairoContext = std::unique_ptr<cairo_t, Freer<cairo_t, cairo_destroy>>;
void UnrefLayout(PangoLayout* layout) { g_object_unref(layout); }
using Layout = std::unique_ptr<PangoLayout, Freer<PangoLayout, UnrefLayout>>;
using FontDescription =
    std::unique_ptr<PangoFontDescription, Freer<PangoFontDescription, pango_font_description_free>>;
using Attributes = std::unique_ptr<PangoAttrList, Freer<PangoAttrList, pango_attr_list_unref>>;

void Check(cairo_status_t status, const char* what) {
  if (status != CAIRO_STATUS_SUCCESS) {
    throw std::runtime_error(std::string(what) + ": " + cairo_status_to_string(status));
  }
}
}  // namespace

struct PangoTextEngine::Impl {
  CairoSurface scratch{cairo_image_surface_create(CAIRO_FORMAT_A8, 1, 1)};
  CairoContext context{cairo_create(scratch.get())};
  Layout layout;

  Impl() {
    Check(cairo_status(context.get()), "cairo context");
    layout.reset(pango_cairo_create_layout(context.get()));
    pango_cairo_context_set_resolution(pango_layout_get_context(layout.get()), kDotsPerInch);
    pango_layout_context_changed(layout.get());
  }

  // Sets the layout to one line of text in the font.
  void Prepare(std::string_view text, const Font& font) {
    FontDescription description(pango_font_description_new());
    pango_font_description_set_family(description.get(), font.Name.c_str());
    // Setters and stored data keep sizes within 1..2048 pt; a shared font
    // changed behind their back is held there too, so the conversion to
    // pango units stays defined.
    const double points =
        std::isnan(font.Size) ? kMinFontSize : std::clamp(font.Size, kMinFontSize, kMaxFontSize);
    pango_font_description_set_size(description.get(),
                                    static_cast<gint>(points * PANGO_SCALE + 0.5));
    pango_font_description_set_weight(description.get(),
                                      font.Bold ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
    pango_font_description_set_style(description.get(),
                                     font.Italic ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
    pango_layout_set_font_description(layout.get(), description.get());
    Attributes attributes(pango_attr_list_new());
    if (font.Underline) pango_attr_list_insert(attributes.get(), pango_attr_underline_new(PANGO_UNDERLINE_SINGLE));
    if (font.Strikethrough) pango_attr_list_insert(attributes.get(), pango_attr_strikethrough_new(TRUE));
    pango_layout_set_attributes(layout.get(), attributes.get());
    // Pango warns about and cuts malformed UTF-8; a service's answer may hold any bytes.
    const std::string valid = ValidUtf8(text);
    pango_layout_set_text(layout.get(), valid.data(), static_cast<int>(valid.size()));
  }

  Size Extent() {
    PangoRectangle logical{};
    pango_layout_get_pixel_extents(layout.get(), nullptr, &logical);
    return {logical.width, logical.height};
  }
};

PangoTextEngine::PangoTextEngine() : m_Impl(std::make_unique<Impl>()) {}
PangoTextEngine::~PangoTextEngine() = default;

Size PangoTextEngine::Measure(std::string_view text, const Font& font) {
  m_Impl->Prepare(text, font);
  return m_Impl->Extent();
}

void PangoTextEngine::Draw(Image& target, Point origin, const Rect& clip, std::string_view text,
                           const Font& font, Colour colour) {
  m_Impl->Prepare(text, font);
  const Size size = m_Impl->Extent();
  if (size.Width <= 0 || size.Height <= 0) return;
  CairoSurface mask(cairo_image_surface_create(CAIRO_FORMAT_A8, size.Width, size.Height));
  Check(cairo_surface_status(mask.get()), "text mask");
  {
    CairoContext cr(cairo_create(mask.get()));
    cairo_set_source_rgba(cr.get(), 0, 0, 0, 1);
    pango_cairo_update_layout(cr.get(), m_Impl->layout.get());
    pango_cairo_show_layout(cr.get(), m_Impl->layout.get());
    Check(cairo_status(cr.get()), "drawing text");
  }
  cairo_surface_flush(mask.get());
  target.BlendMask(origin, cairo_image_surface_get_data(mask.get()), size.Width, size.Height,
                   cairo_image_surface_get_stride(mask.get()), colour, clip);
  // Measuring goes on with the scratch context's settings.
  pango_cairo_update_layout(m_Impl->context.get(), m_Impl->layout.get());
}

}  // namespace borvane
