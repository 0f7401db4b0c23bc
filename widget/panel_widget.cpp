// The public GTK4 widget of libborvane-gtk: the panel on a GtkControlHost
// with the real clock, libcurl and pango, as `borvane panel` shows it.

#include "borvane/panel_widget.h"

#include <glib.h>

#include <cstdlib>
#include <functional>
#include <vector>

#include "client/client.h"
#include "platform/posix/curl_transfer.h"
#include "platform/gtk/glib_worker_transfer.h"
#include "platform/gtk/gtk_control_host.h"
#include "platform/gtk/pango_text_engine.h"
#include "platform/posix/posix_clock.h"
#include "service/time_service.h"

#ifndef BORVANE_SERVICE_URL
#define BORVANE_SERVICE_URL ""
#endif

namespace borvane {
namespace {

// The real clock; a dry run reads it but accepts every setting untouched.
class WidgetClock final : public Clock {
 public:
  explicit WidgetClock(bool dry_run) : m_DryRun(dry_run) {}
  SystemTime Now() override { return m_Real.Now(); }
  std::int32_t UtcOffsetSeconds(std::int64_t utc) override { return m_Real.UtcOffsetSeconds(utc); }
  std::int32_t SetLocalTime(const SystemTime& t, std::int64_t utc_ms) override {
    return m_DryRun ? 1 : m_Real.SetLocalTime(t, utc_ms);
  }

 private:
  PosixClock m_Real;
  bool m_DryRun;
};

}  // namespace

struct PanelWidget::Impl {
  explicit Impl(const PanelWidgetOptions& options)
      : Clock(options.DryRun),
        Panel(Host, ClientServices{Clock, Worker, ChooseService(options.ServiceUrl)}) {
    Worker.AfterCompletion = [this] { Host.Redraw(); };
    Worker.CompletionFailed = [this](const char* message) { Host.ReportFailure(message); };
    Host.ToolTipAt = [this](float x, float y) { return Panel.ToolTipAt(x, y); };
    Host.MoveFocus = [this](bool backwards) { return Panel.MoveFocus(backwards); };
    Host.FocusLeft = [this] { Panel.ClearFocus(); };
    Panel.QueryEnded = [this] {
      // Told from the main loop once the completion has returned, so the
      // texts, an error line and a clock setting that follows are all in
      // place, and the application may even destroy the widget then.
      if (QueryEnded && EndedIdle == 0) {
        EndedIdle = g_idle_add_full(G_PRIORITY_DEFAULT, &Impl::TellQueryEnded, this, nullptr);
      }
    };
    Host.Attach(Panel);
    // The first query starts from the main loop, so creating the widget
    // returns at once; its fetch then runs on a worker (GlibWorkerTransfer).
    FirstQueryIdle = g_idle_add_full(G_PRIORITY_DEFAULT, &Impl::StartFirstQuery, this, nullptr);
  }
  ~Impl() {
    if (FirstQueryIdle != 0) g_source_remove(FirstQueryIdle);
    if (EndedIdle != 0) g_source_remove(EndedIdle);
    Host.Detach();
    if (Embedded) Embedded->Stop();
  }

  static gboolean StartFirstQuery(gpointer data) {
    auto* impl = static_cast<Impl*>(data);
    impl->FirstQueryIdle = 0;
    impl->Panel.Initialize();
    impl->Host.Redraw();
    return G_SOURCE_REMOVE;
  }

  static gboolean TellQueryEnded(gpointer data) {
    auto* impl = static_cast<Impl*>(data);
    impl->EndedIdle = 0;
    // Kept aside: the callback may destroy the widget.
    const std::function<void()> callback = impl->QueryEnded;
    if (callback) callback();
    return G_SOURCE_REMOVE;
  }

  std::string ChooseService(const std::string& given) {
    if (!given.empty()) return given;
    if (const char* url = std::getenv("BORVANE_SERVICE_URL"); url != nullptr && *url != '\0') {
      return url;
    }
    if (*BORVANE_SERVICE_URL != '\0') return BORVANE_SERVICE_URL;
    Embedded = std::make_unique<TimeService>(TimeServiceOptions{});
    Embedded->Start();
    return Embedded->BaseUrl();
  }

  // Declared first so it outlives the panel that asks it.
  std::unique_ptr<TimeService> Embedded;
  WidgetClock Clock;
  CurlTransfer Transfer;
  PangoTextEngine Text;
  GtkControlHost Host{Text, "client1"};
  // Destroyed after the panel, which cancels its fetch first; the worker
  // is then joined before the libcurl handle goes.
  GlibWorkerTransfer Worker{Transfer};
  client Panel;
  std::function<void()> QueryEnded;
  guint FirstQueryIdle = 0;
  guint EndedIdle = 0;
};

PanelWidget::PanelWidget(PanelWidgetOptions options)
    : m_Impl(std::make_unique<Impl>(options)) {}

PanelWidget::~PanelWidget() = default;

GtkWidget* PanelWidget::Widget() const { return m_Impl->Host.Widget(); }

std::string PanelWidget::ServiceTimeText() const {
  return m_Impl->Panel.Label1.Caption() + m_Impl->Panel.LabelMsS.Caption();
}

std::string PanelWidget::LocalTimeText() const {
  return m_Impl->Panel.Localtime.Caption() + m_Impl->Panel.LabelMsL.Caption();
}

std::string PanelWidget::StatusText() const { return m_Impl->Panel.Label2.Caption(); }

std::string PanelWidget::ErrorText() const {
  const std::vector<std::string>& lines = m_Impl->Host.ErrorLines();
  return lines.empty() ? std::string() : lines.back();
}

void PanelWidget::OnQueryEnded(std::function<void()> callback) {
  m_Impl->QueryEnded = std::move(callback);
}

void PanelWidget::OnFirstFrame(std::function<void()> callback) {
  m_Impl->Host.FirstFrame = std::move(callback);
}

}  // namespace borvane
