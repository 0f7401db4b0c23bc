#pragma once
// The registry file shared by every process of this user: each change
// holds an exclusive lock on "<file>.lock" beside it across read, change
// and write, and the file is replaced whole (AtomicFile).

#include <filesystem>

#include "library/registry_store.h"

namespace borvane {

class LockedRegistryStore final : public RegistryStore {
 public:
  explicit LockedRegistryStore(std::filesystem::path path) : m_Path(std::move(path)) {}

  // Creates the file's folder when missing.
  void Update(const std::function<void(RegistryFile&)>& change) override;

 private:
  std::filesystem::path m_Path;
};

}  // namespace borvane
