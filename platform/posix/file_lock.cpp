#include "platform/posix/file_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>

namespace borvane {

FileLock::FileLock(const std::filesystem::path& lock_file) {
  const auto fail = [&](const char* step) {
    const int error = errno;
    if (m_Descriptor >= 0) ::close(m_Descriptor);
    throw std::runtime_error(std::string(step) + " " + lock_file.string() + ": " +
                             std::strerror(error));
  };
  m_Descriptor = ::open(lock_file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (m_Descriptor < 0) fail("cannot open the lock file");
  while (::flock(m_Descriptor, LOCK_EX) != 0) {
    if (errno != EINTR) fail("cannot lock");
  }
}

FileLock::~FileLock() {
  // Closing the last descriptor of the open file releases the lock.
  ::close(m_Descriptor);
}

}  // namespace borvane
