// A GTK4 application with the borvane time panel beside its own widgets.
// Usage: gtk-embed [--service http://host:port] [--dry-run] [--exit-after-first-query]
#include <borvane/panel_widget.h>
#include <gtk/gtk.h>

#include <cstdio>
#include <memory>
#include <string>

static borvane::PanelWidgetOptions options;
static std::unique_ptr<borvane::PanelWidget> panel;
static bool exit_after_first_query = false;

static void Activate(GtkApplication* app, gpointer) {
  GtkWidget* window = gtk_application_window_new(app);
  gtk_window_set_title(GTK_WINDOW(window), "Clock tools");
  GtkWidget* row = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 12);
  gtk_box_append(GTK_BOX(row), gtk_label_new("Our own widgets\nsit beside the panel."));
  panel = std::make_unique<borvane::PanelWidget>(options);  // its first query starts soon after
  gtk_box_append(GTK_BOX(row), panel->Widget());
  GtkWidget* quit = gtk_button_new_with_label("Quit");
  g_signal_connect_swapped(quit, "clicked", G_CALLBACK(gtk_window_destroy), window);
  gtk_box_append(GTK_BOX(row), quit);
  gtk_window_set_child(GTK_WINDOW(window), row);
  panel->OnQueryEnded([app] {
    static bool told = false;
    if (told) return;
    told = true;
    std::printf("first query: %s | %s\n", panel->ServiceTimeText().c_str(), panel->StatusText().c_str());
    std::fflush(stdout);
    if (exit_after_first_query) g_application_quit(G_APPLICATION(app));
  });
  gtk_window_present(GTK_WINDOW(window));
}

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--service" && i + 1 < argc) options.ServiceUrl = argv[++i];
    if (arg == "--dry-run") options.DryRun = true;
    if (arg == "--exit-after-first-query") exit_after_first_query = true;
  }
  GtkApplication* app = gtk_application_new("org.example.GtkEmbed", G_APPLICATION_NON_UNIQUE);
  g_signal_connect(app, "activate", G_CALLBACK(Activate), nullptr);
  const int status = g_application_run(G_APPLICATION(app), 1, argv);  // options read above
  panel.reset();
  g_object_unref(app);
  return status;
}
