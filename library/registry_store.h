#pragma once
// Where the Linux build keeps its registry file, as registration sees it.
// Several processes may register and unregister at once, so every change
// is one read-modify-write that no other writer interleaves with, and the
// file is replaced whole: a reader sees the old registry or the new one,
// never a mix. The platform supplies the locking and the file system work.

#include <functional>

#include "library/registry_file.h"

namespace borvane {

class RegistryStore {
 public:
  virtual ~RegistryStore() = default;

  // Reads the registry, lets `change` edit it and writes it back, with no
  // other writer in between. Throws std::runtime_error naming the file
  // (and, for a damaged one, the line) on failure; the file is then as it
  // was.
  virtual void Update(const std::function<void(RegistryFile&)>& change) = 0;
};

}  // namespace borvane
