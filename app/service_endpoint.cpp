#include "app/service_endpoint.h"

#include <stdexcept>

#ifndef BORVANE_SERVICE_URL
#define BORVANE_SERVICE_URL ""
#endif

namespace borvane::app {

std::string NormaliseServiceUrl(const std::string& url) {
  static const std::string kScheme = "http://";
  std::string base = url;
  while (!base.empty() && base.back() == '/') base.pop_back();
  if (base.compare(0, kScheme.size(), kScheme) != 0) {
    throw std::runtime_error("the time service address must start with http://, got \"" + url + "\"");
  }
  const std::string rest = base.substr(kScheme.size());
  if (rest.empty() || rest.find_first_of("/?# ") != std::string::npos) {
    throw std::runtime_error("the time service address must be http://host[:port] with no path, got \"" +
                             url + "\"");
  }
  return base;
}

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
  m_Service = std::make_shared<TimeService>(TimeServiceOptions{});
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
