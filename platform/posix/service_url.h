#pragma once
// The base address of a service of the panel's own protocol.

#include <string>

namespace borvane {

// Checks and normalises "http[s]://host[:port]" (no path; a trailing slash
// is dropped). Throws std::runtime_error naming the form it expects.
std::string NormaliseServiceUrl(const std::string& url);

}  // namespace borvane
