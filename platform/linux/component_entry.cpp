// The four entry points of libborvane.so. Each new `client` gets the real
// clock and HTTP transfer, and the time service named by
// $BORVANE_SERVICE_URL, else by the build setting, else the reference
// service started in this process on a free loopback port.

#include <dlfcn.h>

#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>

#include "client/client.h"
#include "container/error.h"
#include "container/basic_site.h"
#include "container/manual_event_loop.h"
#include "container/null_text_engine.h"
#include "library/component.h"
#include "library/registry_file.h"
#include "platform/curl_transfer.h"
#include "platform/posix_clock.h"
#include "service/time_service.h"

#ifndef BORVANE_SERVICE_URL
#define BORVANE_SERVICE_URL ""
#endif

namespace borvane {

namespace {

std::string LibraryPath() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&LibraryPath), &info) == 0 || info.dli_fname == nullptr) {
    return "libborvane.so";
  }
  return info.dli_fname;
}

// The reference service lives as long as the process once a panel needed it.
std::string ServiceUrl() {
  if (const char* url = std::getenv("BORVANE_SERVICE_URL"); url != nullptr && *url != '\0') {
    return url;
  }
  if (*BORVANE_SERVICE_URL != '\0') return BORVANE_SERVICE_URL;
  static std::mutex mutex;
  static std::unique_ptr<TimeService> embedded;
  const std::lock_guard<std::mutex> lock(mutex);
  if (!embedded) {
    embedded = std::make_unique<TimeService>(TimeServiceOptions{});
    embedded->Start();
  }
  return embedded->BaseUrl();
}

// The panel and the services it holds by reference, destroyed together.
// The library has no main loop of its own to run timers on; the loop here
// only records them.
class HostedClient final : public Automatable {
 public:
  HostedClient() : m_Client(m_Site, ClientServices{m_Clock, m_Transfer, ServiceUrl()}) {
    // Creation runs the first query. Like a container, we stop its error at
    // the notification boundary: the panel keeps what the query showed, and
    // the host's own DisplayTime calls report errors to the host.
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
  PosixClock m_Clock;
  CurlTransfer m_Transfer;
  ManualEventLoop m_Loop;
  // Nothing is shown: the panel is only called through its methods.
  NullTextEngine m_Text;
  FixedCursor m_Cursor;
  BasicSite m_Site{m_Text, m_Loop, m_Cursor};
  client m_Client;
};

}  // namespace

}  // namespace borvane

extern "C" {

__attribute__((visibility("default"))) borvane::HResult DllRegisterServer() {
  return borvane::com::RegisterServer(borvane::RegistryFile::DefaultPath(), borvane::LibraryPath());
}

__attribute__((visibility("default"))) borvane::HResult DllUnregisterServer() {
  return borvane::com::UnregisterServer(borvane::RegistryFile::DefaultPath(),
                                        borvane::LibraryPath());
}

__attribute__((visibility("default"))) borvane::HResult DllGetClassObject(
    const borvane::Guid* clsid, const borvane::Guid* iid, void** out) {
  if (clsid == nullptr || iid == nullptr) return borvane::kPointer;
  return borvane::com::GetClassObject(*clsid, *iid, out, [] {
    return std::make_unique<borvane::HostedClient>();
  });
}

__attribute__((visibility("default"))) borvane::HResult DllCanUnloadNow() {
  return borvane::com::CanUnloadNow();
}

}  // extern "C"
