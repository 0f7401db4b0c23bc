// The four entry points of borvane.ocx, its class factory, and
// self-registration into the classes root of the registry.

#include <windows.h>
#include <oleauto.h>
#include <olectl.h>

#include <atomic>
#include <cstdlib>
#include <memory>
#include <new>
#include <string>
#include <type_traits>
#include <vector>

#include "client/client.h"
#include "container/error.h"
#include "library/component.h"
#include "library/identity.h"
#include "library/registration.h"
#include "platform/windows/com_boundary.h"
#include "platform/windows/com_client.h"
#include "platform/windows/com_object.h"
#include "platform/windows/variant_convert.h"
#include "platform/windows/windows_panel.h"

#ifndef BORVANE_SERVICE_URL
#define BORVANE_SERVICE_URL ""
#endif

namespace borvane {

namespace {

HMODULE g_Module = nullptr;

std::wstring ModulePath() {
  wchar_t path[MAX_PATH];
  const DWORD length = ::GetModuleFileNameW(g_Module, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return {};
  return std::wstring(path, length);
}

// $BORVANE_SERVICE_URL, else the build setting. There is no embedded
// reference service in this build: with neither, queries fail to connect.
std::string ServiceUrl() {
  wchar_t buffer[512];
  const DWORD length = ::GetEnvironmentVariableW(L"BORVANE_SERVICE_URL", buffer, 512);
  if (length > 0 && length < 512) return Narrow(buffer, static_cast<int>(length));
  return BORVANE_SERVICE_URL;
}

class ClientFactory final : public SingleInterfaceObject<ClientFactory, IClassFactory> {
 public:
  ClientFactory() : SingleInterfaceObject(IID_IClassFactory) { com::ModuleCounts::ObjectCreated(); }
  ~ClientFactory() { com::ModuleCounts::ObjectDestroyed(); }

  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    return Guarded([&]() -> HRESULT {
      // The control runs its first query from the host's message loop
      // once it is made (a failure shows in the status line): nothing
      // here waits on the network.
      return CreateClientObject(g_Module, std::make_unique<WindowsPanel>(ServiceUrl()), iid, out);
    });
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
    // Only locks taken here are given back here: an unbalanced unlock
    // cannot drive the module's count below what its objects hold.
    if (lock) {
      s_Locks.fetch_add(1);
      com::ModuleCounts::Lock();
      return S_OK;
    }
    for (long held = s_Locks.load(); held > 0;) {
      if (s_Locks.compare_exchange_weak(held, held - 1)) {
        com::ModuleCounts::Unlock();
        return S_OK;
      }
    }
    return S_OK;
  }

 private:
  static inline std::atomic<long> s_Locks{0};
};

LSTATUS WriteItems(const RegistrationData& data) {
  for (const auto& key : data.Keys) {
    HKEY handle = nullptr;
    const LSTATUS status = ::RegCreateKeyExW(HKEY_CLASSES_ROOT, Widen(key).c_str(), 0, nullptr, 0,
                                             KEY_WRITE, nullptr, &handle, nullptr);
    if (status != ERROR_SUCCESS) return status;
    ::RegCloseKey(handle);
  }
  for (const auto& value : data.Values) {
    const std::wstring text = Widen(value.Data);
    const LSTATUS status = ::RegSetKeyValueW(
        HKEY_CLASSES_ROOT, Widen(value.Key).c_str(),
        value.Name.empty() ? nullptr : Widen(value.Name).c_str(), REG_SZ, text.c_str(),
        static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    if (status != ERROR_SUCCESS) return status;
  }
  return ERROR_SUCCESS;
}

// 64-bit Windows keeps the class keys of 32-bit and 64-bit servers apart
// (two registry views) but one copy of the ProgID and type library keys,
// which both builds write when they are registered side by side.
#ifdef _WIN64
constexpr SYSKIND kSystemKind = SYS_WIN64;
constexpr const char* kSystemKindKey = "win64";
constexpr REGSAM kOtherView = KEY_WOW64_32KEY;
#else
constexpr SYSKIND kSystemKind = SYS_WIN32;
constexpr const char* kSystemKindKey = "win32";
constexpr REGSAM kOtherView = KEY_WOW64_64KEY;
#endif

using KeyHandle = std::unique_ptr<std::remove_pointer_t<HKEY>, decltype(&::RegCloseKey)>;

// The key below the classes root, or none when it cannot be opened.
KeyHandle OpenClassesKey(const std::string& key, REGSAM access) {
  HKEY handle = nullptr;
  if (::RegOpenKeyExW(HKEY_CLASSES_ROOT, Widen(key).c_str(), 0, access, &handle) != ERROR_SUCCESS) {
    handle = nullptr;
  }
  return KeyHandle(handle, &::RegCloseKey);
}

// Whether the other build's class is registered: the other registry view
// names a server, and not this file (on 32-bit Windows there is one view,
// and the "other" one is this build's own).
bool OtherBuildRegistered(const std::wstring& path) {
  const KeyHandle server =
      OpenClassesKey("CLSID\\" + identity::kClientClsid.ToString() + "\\InprocServer32",
                     KEY_QUERY_VALUE | kOtherView);
  if (!server) return false;
  wchar_t buffer[1024];
  DWORD bytes = sizeof buffer;
  if (::RegGetValueW(server.get(), nullptr, nullptr, RRF_RT_REG_SZ, nullptr, buffer, &bytes) !=
      ERROR_SUCCESS) {
    return false;
  }
  return ::CompareStringOrdinal(buffer, -1, path.c_str(), -1, TRUE) != CSTR_EQUAL;
}

// Whether the text value reads as `expected`; paths and identifiers match
// without regard to case, as the platform's do.
bool ValueIs(const RegistryValue& expected) {
  wchar_t buffer[1024];
  DWORD bytes = sizeof buffer;
  const LSTATUS status = ::RegGetValueW(
      HKEY_CLASSES_ROOT, Widen(expected.Key).c_str(),
      expected.Name.empty() ? nullptr : Widen(expected.Name).c_str(), RRF_RT_REG_SZ, nullptr,
      buffer, &bytes);
  if (status != ERROR_SUCCESS) return false;
  const std::wstring wanted = Widen(expected.Data);
  return ::CompareStringOrdinal(buffer, -1, wanted.c_str(), -1, TRUE) == CSTR_EQUAL;
}

void RemoveItems(const RegistrationData& data) {
  std::vector<std::wstring> doomed;
  for (const auto& removal : data.Removals) {
    bool own = true;
    for (const auto& value : removal.OnlyIf) own = own && ValueIs(value);
    if (own) doomed.push_back(Widen(removal.Tree));
  }
  for (const auto& tree : doomed) {
    // Absent keys are fine: unregistering twice leaves the same state.
    ::RegDeleteTreeW(HKEY_CLASSES_ROOT, tree.c_str());
    ::RegDeleteKeyW(HKEY_CLASSES_ROOT, tree.c_str());
  }
}

}  // namespace

}  // namespace borvane

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    borvane::g_Module = instance;
    ::DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  // Only the public class is offered; the private ones are made by the
  // panel itself.
  if (!IsEqualCLSID(clsid, borvane::ToPlatformGuid(borvane::identity::kClientClsid))) {
    return CLASS_E_CLASSNOTAVAILABLE;
  }
  auto* factory = new (std::nothrow) borvane::ClientFactory();
  if (factory == nullptr) return E_OUTOFMEMORY;
  const HRESULT hr = factory->QueryInterface(iid, out);
  factory->Release();
  return hr;
}

STDAPI DllCanUnloadNow() { return borvane::com::ModuleCounts::Idle() ? S_OK : S_FALSE; }

STDAPI DllRegisterServer() {
  return borvane::Guarded([&]() -> HRESULT {
    std::wstring path = borvane::ModulePath();
    if (path.empty()) return SELFREG_E_CLASS;
    if (borvane::WriteItems(borvane::ClientRegistration(borvane::Narrow(path.c_str()))) !=
        ERROR_SUCCESS) {
      return SELFREG_E_CLASS;
    }
    ITypeLib* library = nullptr;
    HRESULT hr = ::LoadTypeLibEx(path.c_str(), REGKIND_NONE, &library);
    if (SUCCEEDED(hr)) {
      hr = ::RegisterTypeLib(library, path.data(), nullptr);
      library->Release();
    }
    return SUCCEEDED(hr) ? S_OK : SELFREG_E_TYPELIB;
  });
}

STDAPI DllUnregisterServer() {
  return borvane::Guarded([&]() -> HRESULT {
    const std::wstring path = borvane::ModulePath();
    // While the other build is registered its hosts still need the ProgID,
    // the type library and the interfaces' marshalling keys, which the
    // platform's unregistering would remove from both views: then only this
    // build's class (in its own view) and its type library file key go. The
    // last build removes everything.
    borvane::RegistrationData items = borvane::ClientRegistration(borvane::Narrow(path.c_str()));
    const bool other_build = borvane::OtherBuildRegistered(path);
    if (other_build) {
      const std::string progid(borvane::identity::kClientProgId);
      std::erase_if(items.Removals, [&](const auto& removal) { return removal.Tree == progid; });
    }
    borvane::RemoveItems(items);
    const std::string file_key = borvane::TypeLibFileKey(borvane::kSystemKindKey);
    if (other_build) {
      const LSTATUS status = ::RegDeleteKeyW(HKEY_CLASSES_ROOT, borvane::Widen(file_key).c_str());
      return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND ? S_OK : SELFREG_E_TYPELIB;
    }
    // The platform refuses to unregister a type library it cannot find
    // (E_INVALIDARG), but not registered is as good as removed.
    if (!borvane::OpenClassesKey(file_key, KEY_READ)) return S_OK;
    using namespace borvane::identity;
    const HRESULT hr = ::UnRegisterTypeLib(borvane::ToPlatformGuid(kTypeLibId), kTypeLibMajor,
                                           kTypeLibMinor, kTypeLibLocale, borvane::kSystemKind);
    return SUCCEEDED(hr) || hr == TYPE_E_REGISTRYACCESS || hr == TYPE_E_LIBNOTREGISTERED
               ? S_OK
               : SELFREG_E_TYPELIB;
  });
}

}  // extern "C"
