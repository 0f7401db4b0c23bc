#include "app/service_endpoint.h"

#include <stdexcept>
#include <string_view>

#ifndef BORVANE_SERVICE_URL
#define BORVANE_SERVICE_URL ""
#endif

namespace borvane::app {

ServiceEndpoint::ServiceEndpoint(const std::string& url) {
  const std::string chosen = url.empty() ? std::string(BORVANE_SERVICE_URL) : url;
  if (!chosen.empty()) {
    m_Url = NormaliseServiceUrl(chosen);
    return;
  }
#ifdef BORVANE_NO_EMBEDDED_SERVICE
  // borvane hands such checks over to borvane-serve before it gets here.
  throw std::runtime_error("no time service address given (--service http://host[:port])");
#else
  // One loop is plenty for the one client of this process.
  TimeServiceOptions options;
  options.threads = 1;
  m_Service = std::make_shared<TimeService>(options);
  m_Service->Start();
  m_Url = m_Service->BaseUrl();
#endif
}

ServiceEndpoint::~ServiceEndpoint() {
#ifndef BORVANE_NO_EMBEDDED_SERVICE
  if (m_Service) m_Service->Stop();
#endif
}

std::string ServiceEndpoint::Describe() const {
  return Embedded() ? m_Url + " (embedded reference service)" : m_Url;
}

}  // namespace borvane::app
