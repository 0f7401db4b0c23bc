#pragma once
// The panel as a host of the component library gets it: no window, the
// platform's real clock and HTTP transfer, reached only through its two
// public methods. The library has no main loop of its own, so the hourly
// re-check is recorded on a manual loop but never ticks; hosts call
// DisplayTime themselves.

#include <string>
#include <utility>

#include "client/client.h"
#include "container/basic_site.h"
#include "container/error.h"
#include "container/manual_event_loop.h"
#include "container/null_text_engine.h"
#include "library/dispatch.h"

namespace borvane {

template <class PlatformClock, class PlatformTransfer>
class HostedClient final : public Automatable {
 public:
  explicit HostedClient(std::string service_url)
      : m_Client(m_Site, ClientServices{m_Clock, m_Transfer, std::move(service_url)}) {
    // Creation runs the first query. Like a container, stop its error at
    // the notification boundary: the panel keeps what the query showed, and
    // the host's own DisplayTime calls report their errors to the host.
    try {
      m_Client.UserControl_Initialize();
    } catch (const Error&) {
    }
  }

  std::string DisplayTime() override { return m_Client.DisplayTime(); }
  std::string DeCrypt(Variant& texti, Variant& salasana) override {
    return m_Client.DeCrypt(texti, salasana);
  }

 private:
  PlatformClock m_Clock;
  PlatformTransfer m_Transfer;
  ManualEventLoop m_Loop;
  // Nothing is shown: the panel is only called through its methods.
  NullTextEngine m_Text;
  FixedCursor m_Cursor;
  BasicSite m_Site{m_Text, m_Loop, m_Cursor};
  client m_Client;
};

}  // namespace borvane
