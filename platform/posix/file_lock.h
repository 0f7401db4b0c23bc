#pragma once
// An exclusive lock between processes (flock) on a lock file, held for the
// object's life. The lock file is created when missing and never removed:
// removing it would let two processes hold locks on two different files.

#include <filesystem>

namespace borvane {

class FileLock {
 public:
  // Waits for the lock. Throws std::runtime_error with the path and the
  // system's message.
  explicit FileLock(const std::filesystem::path& lock_file);
  ~FileLock();
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

 private:
  int m_Descriptor = -1;
};

}  // namespace borvane
