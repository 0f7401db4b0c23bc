#include "library/component.h"

#include <exception>
#include <new>
#include <vector>

#include "library/identity.h"
#include "library/registration.h"
#include "library/registry_file.h"

namespace borvane::com {

namespace {

// Reference counting and QueryInterface of an object that answers one
// interface besides IUnknown; it counts towards the module's live objects.
template <class Derived, class Interface>
class CountedObject : public Interface {
 public:
  explicit CountedObject(const Guid& iid) : m_Iid(iid) { ModuleCounts::ObjectCreated(); }
  ~CountedObject() { ModuleCounts::ObjectDestroyed(); }
  CountedObject(const CountedObject&) = delete;
  CountedObject& operator=(const CountedObject&) = delete;

  HResult QueryInterface(const Guid& iid, void** out) override {
    if (out == nullptr) return kPointer;
    if (iid == kIidUnknown || iid == m_Iid || static_cast<Derived*>(this)->AlsoAnswers(iid)) {
      *out = static_cast<Interface*>(this);
      this->AddRef();
      return kOk;
    }
    *out = nullptr;
    return kNoInterface;
  }
  std::uint32_t AddRef() override { return ++m_References; }
  std::uint32_t Release() override {
    const std::uint32_t left = --m_References;
    if (left == 0) delete static_cast<Derived*>(this);
    return left;
  }

  // Further identifiers the same interface answers to.
  bool AlsoAnswers(const Guid&) const { return false; }

 private:
  Guid m_Iid;
  std::atomic<std::uint32_t> m_References{1};
};

class ClientObject final : public CountedObject<ClientObject, IAutomation> {
 public:
  explicit ClientObject(std::unique_ptr<Automatable> target)
      : CountedObject(kIidDispatch), m_Target(std::move(target)) {}

  bool AlsoAnswers(const Guid& iid) const { return iid == identity::kClientIid; }

  HResult GetIDsOfNames(const char* name, std::int32_t* dispid) override {
    if (name == nullptr || dispid == nullptr) return kPointer;
    return GetIdOfName(name, *dispid);
  }

  HResult Invoke(std::int32_t dispid, Variant* const* args, std::uint32_t count, Variant* result,
                 DispatchException* exception) override {
    if (args == nullptr && count != 0) return kPointer;
    Variant ignored_result;
    DispatchException ignored_exception;
    return borvane::Invoke(*m_Target, dispid, std::span<Variant* const>(args, count),
                           result != nullptr ? *result : ignored_result,
                           exception != nullptr ? *exception : ignored_exception);
  }

 private:
  std::unique_ptr<Automatable> m_Target;
};

class ClientFactory final : public CountedObject<ClientFactory, IClassFactory> {
 public:
  explicit ClientFactory(AutomatableMaker maker)
      : CountedObject(kIidClassFactory), m_Maker(std::move(maker)) {}

  HResult CreateInstance(IUnknown* outer, const Guid& iid, void** out) override {
    if (out == nullptr) return kPointer;
    *out = nullptr;
    if (outer != nullptr) return kNoAggregation;
    ClientObject* object = nullptr;
    try {
      object = new ClientObject(m_Maker());
    } catch (const std::bad_alloc&) {
      return kOutOfMemory;
    } catch (const std::exception&) {
      return kFail;
    }
    const HResult result = object->QueryInterface(iid, out);
    object->Release();
    return result;
  }

  HResult LockServer(bool lock) override {
    if (lock) {
      ModuleCounts::Lock();
    } else {
      ModuleCounts::Unlock();
    }
    return kOk;
  }

 private:
  AutomatableMaker m_Maker;
};

}  // namespace

HResult GetClassObject(const Guid& clsid, const Guid& iid, void** out, AutomatableMaker maker) {
  if (out == nullptr) return kPointer;
  *out = nullptr;
  // Only the public class is offered: the two private classes are made by
  // the panel itself, never by a host.
  if (clsid != identity::kClientClsid) return kClassNotAvailable;
  auto* factory = new (std::nothrow) ClientFactory(std::move(maker));
  if (factory == nullptr) return kOutOfMemory;
  const HResult result = factory->QueryInterface(iid, out);
  factory->Release();
  return result;
}

HResult CanUnloadNow() { return ModuleCounts::Idle() ? kOk : kFalse; }

HResult RegisterServer(RegistryStore& registry, const std::string& library_path,
                       const FailureReport& report) {
  try {
    registry.Update([&](RegistryFile& file) {
      file.Apply(ClientRegistration(library_path));
      file.Apply(TypeLibRegistration(library_path));
    });
    return kOk;
  } catch (const std::exception& error) {
    if (report) report(error.what());
    return kRegistryWriteFailed;
  }
}

HResult UnregisterServer(RegistryStore& registry, const std::string& library_path,
                         const FailureReport& report) {
  try {
    registry.Update([&](RegistryFile& file) {
      file.Remove(ClientRegistration(library_path));
      file.Remove(TypeLibRegistration(library_path));
    });
    return kOk;
  } catch (const std::exception& error) {
    if (report) report(error.what());
    return kRegistryWriteFailed;
  }
}

}  // namespace borvane::com
