#pragma once
// borvane::PanelWidget: the time-check panel as a GTK4 widget for any GTK4
// application. Creating it builds the panel and returns at once; its first
// check starts from the application's main loop. Every fetch runs on a
// worker thread and its answer is shown from the main loop, so the
// application's windows paint, take input and run their timers however
// slow the time service is (a query gives up after 10 s). From then on the
// panel ticks on the main loop, queries on 查询, sets the clock on 校准
// and, while 每小时校准 is ticked, at every full hour of the time service.
// Setting the clock needs CAP_SYS_TIME; without it the panel shows the
// refusal.
//
//   gtk_init() or a GtkApplication first, then:
//   borvane::PanelWidget panel({.ServiceUrl = "http://time.example:8080"});
//   gtk_box_append(box, panel.Widget());
//
// Link with pkg-config (`pkg-config --cflags --libs borvane`) or CMake
// (`find_package(borvane)`, target borvane::gtk).

#include <functional>
#include <memory>
#include <string>

typedef struct _GtkWidget GtkWidget;

#if defined(BORVANE_GTK_BUILDING)
#define BORVANE_GTK_API __attribute__((visibility("default")))
#else
#define BORVANE_GTK_API
#endif

namespace borvane {

struct PanelWidgetOptions {
  // The time service, http://host[:port]. Empty: $BORVANE_SERVICE_URL, else
  // the address the library was built with, else a reference service
  // started in this process on a free loopback port.
  std::string ServiceUrl;
  // Never set the clock: 校准 and the hourly re-check report success
  // without touching it (for trying the panel out as root).
  bool DryRun = false;
};

class BORVANE_GTK_API PanelWidget {
 public:
  explicit PanelWidget(PanelWidgetOptions options = {});
  ~PanelWidget();
  PanelWidget(const PanelWidget&) = delete;
  PanelWidget& operator=(const PanelWidget&) = delete;

  // The panel (353 × 167 pixels, plus a line for errors below it). The
  // object keeps a reference until it is destroyed; put it in one container.
  GtkWidget* Widget() const;

  // What the panel holds: the service and local times with their
  // milliseconds ("2026-12-08 20:00:00.123"), and the status line, as UTF-8.
  std::string ServiceTimeText() const;
  std::string LocalTimeText() const;
  std::string StatusText() const;
  // The last error shown in the line below the panel (a failed fetch, an
  // answer that does not read), or empty.
  std::string ErrorText() const;

  // Called once, after the panel's first frame is on screen.
  void OnFirstFrame(std::function<void()> callback);
  // Called from the main loop after a query has ended (answered, given up
  // or failed), with its texts and any error shown; queries that end
  // together are told once. The callback may destroy the widget.
  void OnQueryEnded(std::function<void()> callback);

 private:
  struct Impl;
  std::unique_ptr<Impl> m_Impl;
};

}  // namespace borvane
