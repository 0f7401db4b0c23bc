#pragma once
// A real NTP server for tests: chronyd from Debian's chrony, started with
// its own configuration in a temporary folder, serving its local clock at
// stratum 3 on a loopback port. It never touches the clock: -x, and it runs
// without CAP_SYS_TIME (setpriv) as a second guard. Stopped by its process
// id when the object goes.

#include <sys/types.h>

#include <cstdint>
#include <string>

namespace borvane::testing {

class Chronyd {
 public:
  Chronyd();
  ~Chronyd();
  Chronyd(const Chronyd&) = delete;
  Chronyd& operator=(const Chronyd&) = delete;

  // Empty when it runs and answers; else why not (the test skips).
  const std::string& Unavailable() const { return m_Unavailable; }
  std::uint16_t Port() const { return m_Port; }

 private:
  std::string m_Folder;
  std::string m_Unavailable;
  std::uint16_t m_Port = 0;
  pid_t m_Pid = -1;
};

}  // namespace borvane::testing
