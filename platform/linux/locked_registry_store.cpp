#include "platform/linux/locked_registry_store.h"

#include "platform/posix/atomic_file.h"
#include "platform/posix/file_lock.h"

namespace borvane {

void LockedRegistryStore::Update(const std::function<void(RegistryFile&)>& change) {
  if (m_Path.has_parent_path()) std::filesystem::create_directories(m_Path.parent_path());
  const FileLock lock(m_Path.string() + ".lock");
  RegistryFile registry(m_Path.string());
  change(registry);
  WriteFileAtomically(m_Path, registry.ToText());
}

}  // namespace borvane
