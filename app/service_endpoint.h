#pragma once
// Where the time service is: the --service address, else the build
// setting, else the reference service started in this process on a free
// loopback port (so a new user sees a working check with no network).

#include <memory>
#include <string>

#include "platform/posix/service_url.h"
#include "service/time_service.h"

namespace borvane::app {

class ServiceEndpoint {
 public:
  // `url` from the command line; empty for "not given". Throws
  // std::runtime_error on an address that is not http[s]://host[:port].
  explicit ServiceEndpoint(const std::string& url);
  ~ServiceEndpoint();

  const std::string& Url() const { return m_Url; }
  bool Embedded() const { return m_Service != nullptr; }
  std::string Describe() const;

 private:
  // Shared, not unique: its deleter is made where the service is started,
  // so borvane, which never starts one, links none of the service's code.
  std::shared_ptr<TimeService> m_Service;
  std::string m_Url;
};

}  // namespace borvane::app
