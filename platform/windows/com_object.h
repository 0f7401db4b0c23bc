#pragma once
// Reference counting and QueryInterface for a COM object that answers one
// interface besides IUnknown. Derived is the most-derived class, deleted
// when the last reference goes.

#include <windows.h>
#include <unknwn.h>

#include <atomic>

namespace borvane {

template <class Derived, class Interface>
class SingleInterfaceObject : public Interface {
 public:
  explicit SingleInterfaceObject(REFIID iid) : m_Iid(iid) {}
  SingleInterfaceObject(const SingleInterfaceObject&) = delete;
  SingleInterfaceObject& operator=(const SingleInterfaceObject&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, m_Iid)) {
      *out = static_cast<Interface*>(this);
      this->AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++m_References; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --m_References;
    if (left == 0) delete static_cast<Derived*>(this);
    return left;
  }

 protected:
  ~SingleInterfaceObject() = default;

 private:
  IID m_Iid;
  std::atomic<ULONG> m_References{1};
};

}  // namespace borvane
