#include "platform/posix/service_url.h"

#include <stdexcept>
#include <string_view>

namespace borvane {

std::string NormaliseServiceUrl(const std::string& url) {
  std::string base = url;
  while (!base.empty() && base.back() == '/') base.pop_back();
  std::size_t scheme = 0;
  for (const std::string_view prefix : {"http://", "https://"}) {
    if (base.compare(0, prefix.size(), prefix) == 0) scheme = prefix.size();
  }
  if (scheme == 0) {
    throw std::runtime_error("the time service address must start with http:// or https://, got \"" +
                             url + "\"");
  }
  const std::string rest = base.substr(scheme);
  if (rest.empty() || rest.find_first_of("/?# ") != std::string::npos) {
    throw std::runtime_error("the time service address must be http[s]://host[:port] with no path, got \"" +
                             url + "\"");
  }
  return base;
}

}  // namespace borvane
