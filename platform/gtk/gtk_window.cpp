#include "platform/gtk/gtk_window.h"

#include <gtk/gtk.h>

#include <cstdlib>

namespace borvane {

namespace {

GtkWidget* g_Window = nullptr;

void Closed(GtkWidget*, gpointer data) { *static_cast<bool*>(data) = true; }

gboolean CloseShortcut(GtkWidget* widget, GVariant*, gpointer) {
  gtk_window_close(GTK_WINDOW(widget));
  return TRUE;
}

}  // namespace

bool OpenDisplay() {
  const char* x11 = std::getenv("DISPLAY");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  if ((x11 == nullptr || *x11 == '\0') && (wayland == nullptr || *wayland == '\0')) return false;
  // The hosted control is a finished picture: GTK's cairo renderer shows
  // it as well as the GL ones, starts about twice as fast and keeps some
  // 60 MB of graphics driver out of memory. A renderer the user chose wins.
  g_setenv("GSK_RENDERER", "cairo", FALSE);
  return gtk_init_check();
}

void RunControlWindow(const ControlWindowOptions& options, GtkControlHost& host) {
  bool closed = false;
  GtkWidget* window = gtk_window_new();
  g_Window = window;
  gtk_window_set_title(GTK_WINDOW(window), options.Title.c_str());
  gtk_window_set_resizable(GTK_WINDOW(window), FALSE);
  gtk_window_set_child(GTK_WINDOW(window), host.Widget());
  g_signal_connect(window, "destroy", G_CALLBACK(Closed), &closed);

  GtkEventController* shortcuts = gtk_shortcut_controller_new();
  for (const char* trigger : {"<Control>q", "<Control>w"}) {
    gtk_shortcut_controller_add_shortcut(
        GTK_SHORTCUT_CONTROLLER(shortcuts),
        gtk_shortcut_new(gtk_shortcut_trigger_parse_string(trigger),
                         gtk_callback_action_new(&CloseShortcut, nullptr, nullptr)));
  }
  gtk_shortcut_controller_set_scope(GTK_SHORTCUT_CONTROLLER(shortcuts), GTK_SHORTCUT_SCOPE_GLOBAL);
  gtk_widget_add_controller(window, shortcuts);

  const auto first_frame = options.FirstFrame;
  host.FirstFrame = [first_frame] {
    if (first_frame) first_frame();
  };

  gtk_window_present(GTK_WINDOW(window));
  if (options.Shown) options.Shown();
  while (!closed) g_main_context_iteration(nullptr, TRUE);
  g_Window = nullptr;
}

void CloseControlWindow() {
  if (g_Window != nullptr) gtk_window_close(GTK_WINDOW(g_Window));
}

}  // namespace borvane
