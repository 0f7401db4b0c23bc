#include "platform/gtk/gtk_control_host.h"

#include <gtk/gtk.h>

#include <cmath>
#include <cstdio>
#include <exception>

#include "container/surface.h"
#include "container/utf8.h"

namespace borvane {

namespace {

// The container's codes: button 1 left, 2 right, 4 middle; shift 1, ctrl
// 2, alt 4.
std::int16_t ButtonCode(guint button) {
  switch (button) {
    case 1: return 1;
    case 2: return 4;
    case 3: return 2;
    default: return 0;
  }
}

std::int16_t HeldButtons(GdkModifierType state) {
  std::int16_t held = 0;
  if (state & GDK_BUTTON1_MASK) held |= 1;
  if (state & GDK_BUTTON3_MASK) held |= 2;
  if (state & GDK_BUTTON2_MASK) held |= 4;
  return held;
}

std::int16_t ShiftCode(GdkModifierType state) {
  std::int16_t shift = 0;
  if (state & GDK_SHIFT_MASK) shift |= 1;
  if (state & GDK_CONTROL_MASK) shift |= 2;
  if (state & GDK_ALT_MASK) shift |= 4;
  return shift;
}

// Key codes as the container numbers them: letters as upper-case ASCII,
// digits as ASCII, and the usual control keys.
std::int16_t KeyCode(guint keyval) {
  const guint upper = gdk_keyval_to_upper(keyval);
  if ((upper >= 'A' && upper <= 'Z') || (upper >= '0' && upper <= '9')) {
    return static_cast<std::int16_t>(upper);
  }
  switch (keyval) {
    case GDK_KEY_BackSpace: return 8;
    case GDK_KEY_Tab: case GDK_KEY_ISO_Left_Tab: return 9;
    case GDK_KEY_Return: case GDK_KEY_KP_Enter: return 13;
    case GDK_KEY_Shift_L: case GDK_KEY_Shift_R: return 16;
    case GDK_KEY_Control_L: case GDK_KEY_Control_R: return 17;
    case GDK_KEY_Alt_L: case GDK_KEY_Alt_R: return 18;
    case GDK_KEY_Escape: return 27;
    case GDK_KEY_space: return 32;
    case GDK_KEY_Left: return 37;
    case GDK_KEY_Up: return 38;
    case GDK_KEY_Right: return 39;
    case GDK_KEY_Down: return 40;
    case GDK_KEY_Delete: return 46;
    default: return 0;
  }
}

}  // namespace

// GTK's callbacks: each turns one kind of input into notifications, and
// none lets an exception unwind into GTK's C frames.
struct GtkControlHost::Signals {
  template <typename F>
  static void Safely(GtkControlHost* host, F&& body) {
    try {
      body();
    } catch (const std::exception& error) {
      host->ReportFailure(error.what());
    }
  }

  static void Draw(GtkDrawingArea*, cairo_t* cr, int, int, gpointer data) {
    auto* host = static_cast<GtkControlHost*>(data);
    Safely(host, [&] {
      if (host->m_Root == nullptr) return;
      const Image frame = host->m_Root->Compose();
      if (frame.IsEmpty()) return;
      cairo_surface_t* picture =
          cairo_image_surface_create(CAIRO_FORMAT_RGB24, frame.Width(), frame.Height());
      if (cairo_surface_status(picture) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(picture);
        return;
      }
      cairo_surface_flush(picture);
      unsigned char* data_bytes = cairo_image_surface_get_data(picture);
      const int stride = cairo_image_surface_get_stride(picture);
      // Ours is 0xAABBGGRR; cairo's native 0x00RRGGBB. The frame is opaque.
      for (std::int32_t y = 0; y < frame.Height(); ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(data_bytes + static_cast<std::ptrdiff_t>(y) * stride);
        const Pixel* source = frame.Row(y);
        for (std::int32_t x = 0; x < frame.Width(); ++x) {
          const Pixel p = source[x];
          row[x] = ((p & 0xFFu) << 16) | (p & 0xFF00u) | ((p >> 16) & 0xFFu);
        }
      }
      cairo_surface_mark_dirty(picture);
      cairo_set_source_surface(cr, picture, 0, 0);
      cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
      cairo_paint(cr);
      cairo_surface_destroy(picture);
      if (!host->m_FirstFrameDrawn) {
        host->m_FirstFrameDrawn = true;
        // Reported once the frame has gone out, not while it is drawn.
        host->m_FirstFrameIdle =
            g_idle_add_full(G_PRIORITY_DEFAULT_IDLE, &Signals::AfterFirstFrame, host, nullptr);
      }
    });
  }

  static gboolean AfterFirstFrame(gpointer data) {
    auto* host = static_cast<GtkControlHost*>(data);
    host->m_FirstFrameIdle = 0;
    Safely(host, [&] {
      if (host->FirstFrame) host->FirstFrame();
    });
    return G_SOURCE_REMOVE;
  }

  // The event's position in the drawing area's pixels.
  static graphene_point_t Position(GtkControlHost* host, GdkEvent* event) {
    double x = 0, y = 0;
    gdk_event_get_position(event, &x, &y);
    GtkNative* native = gtk_widget_get_native(host->m_Area);
    double nx = 0, ny = 0;
    gtk_native_get_surface_transform(native, &nx, &ny);
    const graphene_point_t in = GRAPHENE_POINT_INIT(static_cast<float>(x - nx),
                                                    static_cast<float>(y - ny));
    graphene_point_t out = in;
    if (!gtk_widget_compute_point(GTK_WIDGET(native), host->m_Area, &in, &out)) out = in;
    return out;
  }

  static gboolean Event(GtkEventControllerLegacy*, GdkEvent* event, gpointer data) {
    auto* host = static_cast<GtkControlHost*>(data);
    gboolean handled = FALSE;
    Safely(host, [&] { handled = Handle(host, event); });
    return handled;
  }

  static gboolean Handle(GtkControlHost* host, GdkEvent* event) {
    UserControl* root = host->m_Root;
    if (root == nullptr) return FALSE;
    const GdkModifierType state = gdk_event_get_modifier_state(event);
    switch (gdk_event_get_event_type(event)) {
      case GDK_MOTION_NOTIFY: {
        const graphene_point_t p = Position(host, event);
        host->m_Pointer.Position = {static_cast<std::int32_t>(std::floor(p.x)),
                                    static_cast<std::int32_t>(std::floor(p.y))};
        root->MouseMove(HeldButtons(state), ShiftCode(state), p.x, p.y);
        host->Redraw();
        return TRUE;
      }
      case GDK_ENTER_NOTIFY: {
        const graphene_point_t p = Position(host, event);
        host->m_Pointer.Position = {static_cast<std::int32_t>(std::floor(p.x)),
                                    static_cast<std::int32_t>(std::floor(p.y))};
        return FALSE;
      }
      case GDK_LEAVE_NOTIFY:
        // Far outside every part, so a polling button sees the pointer gone.
        host->m_Pointer.Position = {-32768, -32768};
        return FALSE;
      case GDK_BUTTON_PRESS: {
        gtk_widget_grab_focus(host->m_Area);
        const graphene_point_t p = Position(host, event);
        const guint button = gdk_button_event_get_button(event);
        const guint32 time = gdk_event_get_time(event);
        int double_time = 400;
        int double_distance = 5;
        g_object_get(gtk_settings_get_default(), "gtk-double-click-time", &double_time,
                     "gtk-double-click-distance", &double_distance, nullptr);
        const bool second = button == host->m_LastPressButton &&
                            time - host->m_LastPressTime <= static_cast<guint32>(double_time) &&
                            std::fabs(p.x - host->m_LastPressX) <= double_distance &&
                            std::fabs(p.y - host->m_LastPressY) <= double_distance;
        host->m_LastPressButton = button;
        host->m_LastPressTime = time;
        host->m_LastPressX = p.x;
        host->m_LastPressY = p.y;
        if (second && !host->m_DoublePending) {
          // The second press of a double-click is a double-click, not a
          // press: the release after it clicks nothing.
          host->m_DoublePending = true;
          root->DblClickAt(p.x, p.y);
        } else {
          host->m_DoublePending = false;
          root->MouseDown(ButtonCode(button), ShiftCode(state), p.x, p.y);
        }
        host->Redraw();
        return TRUE;
      }
      case GDK_BUTTON_RELEASE: {
        const graphene_point_t p = Position(host, event);
        root->MouseUp(ButtonCode(gdk_button_event_get_button(event)), ShiftCode(state), p.x, p.y);
        host->Redraw();
        return TRUE;
      }
      case GDK_KEY_PRESS: {
        const guint keyval = gdk_key_event_get_keyval(event);
        if ((keyval == GDK_KEY_Tab || keyval == GDK_KEY_ISO_Left_Tab) && host->MoveFocus) {
          const bool backwards = keyval == GDK_KEY_ISO_Left_Tab || (state & GDK_SHIFT_MASK);
          const bool kept = host->MoveFocus(backwards);
          host->Redraw();
          return kept;
        }
        root->KeyDown(KeyCode(keyval), ShiftCode(state));
        const gunichar character = gdk_keyval_to_unicode(keyval);
        if (character != 0 && character < 128) {
          root->KeyPress(static_cast<std::int16_t>(character));
        }
        host->Redraw();
        return FALSE;
      }
      case GDK_KEY_RELEASE:
        root->KeyUp(KeyCode(gdk_key_event_get_keyval(event)), ShiftCode(state));
        host->Redraw();
        return FALSE;
      default:
        return FALSE;
    }
  }

  static void FocusLeave(GtkEventControllerFocus*, gpointer data) {
    auto* host = static_cast<GtkControlHost*>(data);
    Safely(host, [&] {
      if (host->FocusLeft) host->FocusLeft();
      host->Redraw();
    });
  }

  static gboolean QueryTooltip(GtkWidget*, int x, int y, gboolean, GtkTooltip* tooltip,
                               gpointer data) {
    auto* host = static_cast<GtkControlHost*>(data);
    gboolean shown = FALSE;
    Safely(host, [&] {
      if (!host->ToolTipAt) return;
      const std::string text = host->ToolTipAt(static_cast<float>(x), static_cast<float>(y));
      if (text.empty()) return;
      gtk_tooltip_set_text(tooltip, text.c_str());
      shown = TRUE;
    });
    return shown;
  }
};

GtkControlHost::GtkControlHost(TextEngine& text, std::string display_name)
    : m_Text(text), m_Name(std::move(display_name)), m_AmbientFont(MakeFont("Arial", 9)) {
  m_Box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
  g_object_ref_sink(m_Box);
  m_Area = gtk_drawing_area_new();
  gtk_widget_set_focusable(m_Area, TRUE);
  gtk_widget_set_has_tooltip(m_Area, TRUE);
  gtk_drawing_area_set_draw_func(GTK_DRAWING_AREA(m_Area), &Signals::Draw, this, nullptr);
  gtk_box_append(GTK_BOX(m_Box), m_Area);

  m_ErrorLine = gtk_label_new("");
  gtk_label_set_wrap(GTK_LABEL(m_ErrorLine), TRUE);
  gtk_label_set_xalign(GTK_LABEL(m_ErrorLine), 0.0f);
  gtk_label_set_selectable(GTK_LABEL(m_ErrorLine), TRUE);
  gtk_widget_set_margin_start(m_ErrorLine, 4);
  gtk_widget_set_margin_end(m_ErrorLine, 4);
  gtk_widget_set_visible(m_ErrorLine, FALSE);
  gtk_box_append(GTK_BOX(m_Box), m_ErrorLine);

  GtkEventController* events = gtk_event_controller_legacy_new();
  g_signal_connect(events, "event", G_CALLBACK(&Signals::Event), this);
  gtk_widget_add_controller(m_Area, events);
  m_Controllers[0] = events;
  GtkEventController* focus = gtk_event_controller_focus_new();
  g_signal_connect(focus, "leave", G_CALLBACK(&Signals::FocusLeave), this);
  gtk_widget_add_controller(m_Area, focus);
  m_Controllers[1] = focus;
  g_signal_connect(m_Area, "query-tooltip", G_CALLBACK(&Signals::QueryTooltip), this);

  m_Loop.AfterTick = [this] { Redraw(); };
  m_Loop.TickFailed = [this](const char* message) { ReportFailure(message); };
}

GtkControlHost::~GtkControlHost() {
  Detach();
  // The widgets may outlive the host (an application may hold them): no
  // callback may reach it afterwards.
  g_signal_handlers_disconnect_by_data(m_Area, this);
  for (GtkEventController* controller : m_Controllers) {
    g_signal_handlers_disconnect_by_data(controller, this);
  }
  if (m_FirstFrameIdle != 0) g_source_remove(m_FirstFrameIdle);
  gtk_drawing_area_set_draw_func(GTK_DRAWING_AREA(m_Area), nullptr, nullptr, nullptr);
  g_object_unref(m_Box);
}

void GtkControlHost::Attach(UserControl& root) {
  m_Root = &root;
  const Size size = root.DrawingSurface().PixelSize();
  gtk_drawing_area_set_content_width(GTK_DRAWING_AREA(m_Area), size.Width);
  gtk_drawing_area_set_content_height(GTK_DRAWING_AREA(m_Area), size.Height);
  MousePointerChanged(root.DrawingSurface().MousePointer());
  Redraw();
}

void GtkControlHost::Detach() { m_Root = nullptr; }

void GtkControlHost::Redraw() {
  if (m_Area != nullptr) gtk_widget_queue_draw(m_Area);
}

void GtkControlHost::ReportError(const Error& error) {
  ReportFailure(std::string(error.what()) + " (error " +
                std::to_string(static_cast<int>(error.Code())) + ")");
}

void GtkControlHost::ReportFailure(const std::string& text) {
  // Messages may quote a service's answer: shown escaped, so they can
  // neither act on the terminal nor hand malformed UTF-8 to the label.
  const std::string message = EscapeControls(text);
  std::fprintf(stderr, "borvane: %s\n", message.c_str());
  m_Errors.push_back(message);
  gtk_label_set_text(GTK_LABEL(m_ErrorLine), message.c_str());
  gtk_widget_set_visible(m_ErrorLine, TRUE);
  Redraw();
}

void GtkControlHost::MousePointerChanged(std::int16_t pointer) {
  gtk_widget_set_cursor_from_name(m_Area, pointer == Surface::kBusyPointer ? "wait" : nullptr);
}

}  // namespace borvane
