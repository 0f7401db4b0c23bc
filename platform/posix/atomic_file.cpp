#include "platform/posix/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <stdexcept>
#include <string>

namespace borvane {

namespace {

// The bits a new file gets from open(..., 0666): the umask cannot be read
// without setting it, which would race with other threads creating files,
// so it comes from the kernel's status file.
mode_t NewFileMode() {
  mode_t mask = 022;
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.starts_with("Umask:")) {
      mask = static_cast<mode_t>(std::stoul(line.substr(6), nullptr, 8));
      break;
    }
  }
  return 0666 & ~mask;
}

// Permission bits the finished file takes: those of the regular file it
// replaces, else those of a new file.
mode_t FinalMode(const std::filesystem::path& destination) {
  struct stat existing {};
  if (::lstat(destination.c_str(), &existing) == 0 && S_ISREG(existing.st_mode)) {
    return existing.st_mode & 07777;
  }
  return NewFileMode();
}

}  // namespace

AtomicFile::AtomicFile(std::filesystem::path destination) : m_Destination(std::move(destination)) {
  std::filesystem::path folder = m_Destination.parent_path();
  if (folder.empty()) folder = ".";
  std::string name = (folder / ("." + m_Destination.filename().string() + ".XXXXXX")).string();
  // mkostemp creates with O_EXCL: an existing name, a link included, is
  // never opened.
  m_Descriptor = ::mkostemp(name.data(), O_CLOEXEC);
  if (m_Descriptor < 0) Fail("cannot create a file beside", errno);
  m_Temporary = name;
}

AtomicFile::~AtomicFile() {
  if (m_Descriptor >= 0) ::close(m_Descriptor);
  if (!m_Committed && !m_Temporary.empty()) ::unlink(m_Temporary.c_str());
}

void AtomicFile::Fail(const char* step, int error) const {
  throw std::runtime_error(std::string(step) + " " + m_Destination.string() + ": " +
                           std::strerror(error));
}

void AtomicFile::Write(std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(m_Descriptor, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      Fail("cannot write", errno);
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
}

void AtomicFile::Commit() {
  if (::fchmod(m_Descriptor, FinalMode(m_Destination)) != 0) Fail("cannot write", errno);
  if (::fsync(m_Descriptor) != 0) Fail("cannot write", errno);
  // close reports deferred write errors on some file systems.
  const int descriptor = m_Descriptor;
  m_Descriptor = -1;
  if (::close(descriptor) != 0) Fail("cannot write", errno);
  if (::rename(m_Temporary.c_str(), m_Destination.c_str()) != 0) Fail("cannot replace", errno);
  m_Committed = true;
  // The rename itself reaches the disk with the folder; a failure here
  // leaves a complete file either way, so it is not reported.
  std::filesystem::path folder = m_Destination.parent_path();
  if (folder.empty()) folder = ".";
  const int directory = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (directory >= 0) {
    ::fsync(directory);
    ::close(directory);
  }
}

void WriteFileAtomically(const std::filesystem::path& destination, std::string_view bytes) {
  AtomicFile file(destination);
  file.Write(bytes);
  file.Commit();
}

}  // namespace borvane
