#pragma once
// The Linux form of the component boundary: reference-counted objects found
// by interface identifier, a class factory, and a dispatch interface whose
// arguments are the library's variants. Method order and result codes
// follow the platform's component model, so a host written against it reads
// the same here; only the argument types are this library's own.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "container/variant.h"
#include "library/dispatch.h"
#include "library/guid.h"
#include "library/hresult.h"
#include "library/registry_store.h"

namespace borvane::com {

// The platform's identifiers of the three base interfaces.
inline constexpr Guid kIidUnknown{"00000000-0000-0000-C000-000000000046"};
inline constexpr Guid kIidClassFactory{"00000001-0000-0000-C000-000000000046"};
inline constexpr Guid kIidDispatch{"00020400-0000-0000-C000-000000000046"};

class IUnknown {
 public:
  virtual HResult QueryInterface(const Guid& iid, void** out) = 0;
  virtual std::uint32_t AddRef() = 0;
  virtual std::uint32_t Release() = 0;

 protected:
  ~IUnknown() = default;
};

class IClassFactory : public IUnknown {
 public:
  virtual HResult CreateInstance(IUnknown* outer, const Guid& iid, void** out) = 0;
  virtual HResult LockServer(bool lock) = 0;

 protected:
  ~IClassFactory() = default;
};

// Answers to the dispatch identifier and to the class's default interface.
class IAutomation : public IUnknown {
 public:
  virtual HResult GetIDsOfNames(const char* name, std::int32_t* dispid) = 0;
  // `args` in declaration order, each by reference; `result` and
  // `exception` may be null when the caller does not want them.
  virtual HResult Invoke(std::int32_t dispid, Variant* const* args, std::uint32_t count,
                         Variant* result, DispatchException* exception) = 0;

 protected:
  ~IAutomation() = default;
};

// Makes the object behind a new `client`; throws on failure.
using AutomatableMaker = std::function<std::unique_ptr<Automatable>()>;

// Live objects and factory locks of the whole library.
class ModuleCounts {
 public:
  static void ObjectCreated() { s_Objects.fetch_add(1); }
  static void ObjectDestroyed() { s_Objects.fetch_sub(1); }
  static void Lock() { s_Locks.fetch_add(1); }
  static void Unlock() { s_Locks.fetch_sub(1); }
  static bool Idle() { return s_Objects.load() == 0 && s_Locks.load() == 0; }

 private:
  static inline std::atomic<long> s_Objects{0};
  static inline std::atomic<long> s_Locks{0};
};

// The contracts of the four entry points, with the platform parts (the
// library file's own path, the real services) passed in.
HResult GetClassObject(const Guid& clsid, const Guid& iid, void** out, AutomatableMaker maker);
HResult CanUnloadNow();
// A failure returns kRegistryWriteFailed and passes its cause (the file,
// the line of a damaged one, the system's message) to `report`.
using FailureReport = std::function<void(const std::string&)>;
HResult RegisterServer(RegistryStore& registry, const std::string& library_path,
                       const FailureReport& report);
HResult UnregisterServer(RegistryStore& registry, const std::string& library_path,
                         const FailureReport& report);

}  // namespace borvane::com
