#pragma once
// A file that appears at its destination whole or not at all. The bytes go
// to a new file with a unique name in the destination's folder (created
// exclusively, so it never writes through a link someone planted), are
// flushed to disk, and the file is renamed over the destination only when
// complete. A link at the destination is replaced, not followed. Anything
// that fails removes the temporary file and leaves the destination as it
// was.

#include <filesystem>
#include <string_view>

namespace borvane {

class AtomicFile {
 public:
  // Creates the temporary file; the destination's folder must exist.
  // Throws std::runtime_error with the destination and the system's
  // message.
  explicit AtomicFile(std::filesystem::path destination);
  // Removes the temporary file unless Commit succeeded.
  ~AtomicFile();
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  // Throws std::runtime_error as above (a full disk, say).
  void Write(std::string_view bytes);
  // Flushes the file to disk, gives it the permission bits of the file it
  // replaces (or those of a new file under the process's umask) and
  // renames it over the destination. Throws std::runtime_error as above.
  void Commit();

  const std::filesystem::path& Destination() const { return m_Destination; }

 private:
  [[noreturn]] void Fail(const char* step, int error) const;

  std::filesystem::path m_Destination;
  std::filesystem::path m_Temporary;
  int m_Descriptor = -1;
  bool m_Committed = false;
};

// The whole file in one go.
void WriteFileAtomically(const std::filesystem::path& destination, std::string_view bytes);

}  // namespace borvane
