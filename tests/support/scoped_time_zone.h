#pragma once
// Sets TZ for one scope and puts the previous value back afterwards, so a
// test can read and convert local times in a zone of its choosing.

#include <time.h>

#include <cstdlib>
#include <optional>
#include <string>

namespace borvane::testing {

class ScopedTimeZone {
 public:
  explicit ScopedTimeZone(const char* zone) {
    if (const char* old = std::getenv("TZ")) m_Old = old;
    ::setenv("TZ", zone, 1);
    ::tzset();
  }
  ~ScopedTimeZone() {
    if (m_Old) {
      ::setenv("TZ", m_Old->c_str(), 1);
    } else {
      ::unsetenv("TZ");
    }
    ::tzset();
  }
  ScopedTimeZone(const ScopedTimeZone&) = delete;
  ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

 private:
  std::optional<std::string> m_Old;
};

}  // namespace borvane::testing
