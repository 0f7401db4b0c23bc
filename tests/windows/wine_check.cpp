// wine_check MODE OCX: checks borvane.ocx the way a Windows host sees it.
//   typelib       the type library embedded in the file, read back by the
//                 platform's reader (wine_check_typelib.cpp)
//   resources     version strings, identifier resources, toolbox bitmap
//   objects       entry points and the object: foreign classes refused,
//                 interfaces, dispatch errors, unload count
//   registered    the registry values that DllRegisterServer wrote
//   unregistered  none of the keys left, of either build
//   removed       this build's own keys gone (its class in its registry
//                 view, its type library file), the other build's kept
//   clockright    this process runs without CAP_SYS_TIME
// Prints each failed check and exits 1 when any failed.

#include <windows.h>
#include <oleauto.h>
#include <olectl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "library/identity.h"
#include "library/registration.h"
#include "platform/windows/variant_convert.h"
#include "tests/windows/wine_check.h"

namespace {

using borvane::Narrow;
using borvane::ToPlatformGuid;
using borvane::Widen;
using wine_check::CheckTypeLibrary;
using wine_check::Name;
namespace id = borvane::identity;

std::string Resource(HMODULE module, LPCWSTR type, LPCWSTR name) {
  HRSRC found = ::FindResourceW(module, name, type);
  if (found == nullptr) return {};
  HGLOBAL loaded = ::LoadResource(module, found);
  const auto* bytes = static_cast<const char*>(::LockResource(loaded));
  return std::string(bytes, ::SizeofResource(module, found));
}

std::string IdentifierResource(const borvane::Guid& guid) {
  std::string bytes("\x10\0\0\0", 4);
  for (std::uint8_t byte : guid.ToBytes()) bytes += static_cast<char>(byte);
  return bytes;
}

std::string VersionString(const std::string& block, const wchar_t* key) {
  void* value = nullptr;
  UINT length = 0;
  const std::wstring path = L"\\StringFileInfo\\040904B0\\" + std::wstring(key);
  if (!::VerQueryValueW(block.data(), path.c_str(), &value, &length)) return "<missing>";
  return Narrow(static_cast<const wchar_t*>(value));
}

void CheckResources(const std::wstring& path) {
  DWORD ignored = 0;
  const DWORD size = ::GetFileVersionInfoSizeW(path.c_str(), &ignored);
  CHECK(size > 0);
  std::string block(size, '\0');
  CHECK(::GetFileVersionInfoW(path.c_str(), 0, size, block.data()));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  CHECK(::VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  if (fixed != nullptr) {
    CHECK(fixed->dwFileVersionMS == MAKELONG(id::kVersionMinor, id::kVersionMajor));
    CHECK(fixed->dwFileVersionLS == MAKELONG(id::kVersionRevision, id::kVersionBuild));
    CHECK(fixed->dwProductVersionMS == fixed->dwFileVersionMS);
    CHECK(fixed->dwProductVersionLS == fixed->dwFileVersionLS);
  }
  WORD* translation = nullptr;
  CHECK(::VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation",
                         reinterpret_cast<void**>(&translation), &length));
  if (translation != nullptr && length >= 4) {
    CHECK(translation[0] == 0x0409);
    CHECK(translation[1] == 1200);
  }
  CHECK(VersionString(block, L"FileVersion") == id::kVersionText);
  CHECK(VersionString(block, L"ProductVersion") == id::kVersionText);
  CHECK(VersionString(block, L"InternalName") == id::kInternalName);
  CHECK(VersionString(block, L"OLESelfRegister").empty());

  HMODULE module = ::LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  CHECK(module != nullptr);
  if (module == nullptr) return;
  CHECK(Resource(module, L"_IID_CLIENT", MAKEINTRESOURCEW(1)) == IdentifierResource(id::kClientIid));
  CHECK(Resource(module, L"_SRCIID_CLIENT", MAKEINTRESOURCEW(1)) ==
        IdentifierResource(id::kClientEventsIid));
  CHECK(Resource(module, L"TYPELIB", MAKEINTRESOURCEW(1)).compare(0, 4, "MSFT") == 0);
  const std::string bitmap =
      Resource(module, MAKEINTRESOURCEW(2) /* RT_BITMAP */, MAKEINTRESOURCEW(id::kToolboxBitmapResource));
  CHECK(bitmap.size() >= sizeof(BITMAPINFOHEADER));
  if (bitmap.size() >= sizeof(BITMAPINFOHEADER)) {
    BITMAPINFOHEADER header{};
    std::memcpy(&header, bitmap.data(), sizeof header);
    CHECK(header.biWidth == 16);
    CHECK(header.biHeight == 15);
    CHECK(header.biBitCount == 4);
  }
  ::FreeLibrary(module);
}

void CheckObjects(const std::wstring& path) {
  HMODULE module = ::LoadLibraryW(path.c_str());
  CHECK(module != nullptr);
  if (module == nullptr) return;
  using GetClassObject = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
  using CanUnload = HRESULT(WINAPI*)();
  auto get = reinterpret_cast<GetClassObject>(
      reinterpret_cast<void*>(::GetProcAddress(module, "DllGetClassObject")));
  auto can_unload = reinterpret_cast<CanUnload>(
      reinterpret_cast<void*>(::GetProcAddress(module, "DllCanUnloadNow")));
  CHECK(get != nullptr);
  CHECK(can_unload != nullptr);
  if (get == nullptr || can_unload == nullptr) return;

  void* out = nullptr;
  CHECK(get(IID_IDispatch, IID_IClassFactory, &out) == CLASS_E_CLASSNOTAVAILABLE);
  CHECK(get(ToPlatformGuid(id::kButtonClsid), IID_IClassFactory, &out) == CLASS_E_CLASSNOTAVAILABLE);
  CHECK(can_unload() == S_OK);

  IClassFactory* factory = nullptr;
  CHECK(SUCCEEDED(get(ToPlatformGuid(id::kClientClsid), IID_IClassFactory,
                      reinterpret_cast<void**>(&factory))));
  if (factory == nullptr) return;
  IDispatch* object = nullptr;
  CHECK(SUCCEEDED(factory->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(&object))));
  factory->Release();
  CHECK(can_unload() == S_FALSE);
  if (object != nullptr) {
    // Unknown members and wrong argument counts come back as the
    // platform's errors.
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    VARIANT result;
    ::VariantInit(&result);
    CHECK(object->Invoke(0x60030002, IID_NULL, 0, DISPATCH_METHOD, &none, &result, nullptr,
                         nullptr) == DISP_E_MEMBERNOTFOUND);
    CHECK(object->Invoke(id::kDispIdDeCrypt, IID_NULL, 0, DISPATCH_METHOD, &none, &result,
                         nullptr, nullptr) == DISP_E_BADPARAMCOUNT);
    // The service address of this step is a closed loopback port, but
    // DisplayTime only starts the query: it returns the empty text at once,
    // and the failure shows in the panel once the fetch has failed.
    EXCEPINFO exception{};
    CHECK(object->Invoke(id::kDispIdDisplayTime, IID_NULL, 0, DISPATCH_METHOD, &none, &result,
                         &exception, nullptr) == S_OK);
    CHECK(V_VT(&result) == VT_BSTR && ::SysStringLen(V_BSTR(&result)) == 0);
    ::VariantClear(&result);

    LPOLESTR name = const_cast<LPOLESTR>(L"decrypt");
    DISPID dispid = 0;
    CHECK(object->GetIDsOfNames(IID_NULL, &name, 1, 0, &dispid) == S_OK);
    CHECK(dispid == id::kDispIdDeCrypt);

    IProvideClassInfo* class_info = nullptr;
    CHECK(SUCCEEDED(object->QueryInterface(IID_IProvideClassInfo, reinterpret_cast<void**>(&class_info))));
    if (class_info != nullptr) {
      ITypeInfo* info = nullptr;
      CHECK(SUCCEEDED(class_info->GetClassInfo(&info)));
      if (info != nullptr) {
        CHECK(Name(info, MEMBERID_NIL) == "client");
        info->Release();
      }
      class_info->Release();
    }
    IConnectionPointContainer* container = nullptr;
    CHECK(SUCCEEDED(object->QueryInterface(IID_IConnectionPointContainer,
                                           reinterpret_cast<void**>(&container))));
    if (container != nullptr) {
      IConnectionPoint* point = nullptr;
      CHECK(container->FindConnectionPoint(IID_IDispatch, &point) == CONNECT_E_NOCONNECTION);
      CHECK(SUCCEEDED(container->FindConnectionPoint(ToPlatformGuid(id::kClientEventsIid), &point)));
      if (point != nullptr) {
        DWORD cookie = 0;
        CHECK(point->Advise(object, &cookie) == S_OK);
        CHECK(point->Unadvise(cookie) == S_OK);
        CHECK(point->Unadvise(cookie) == CONNECT_E_NOCONNECTION);
        point->Release();
      }
      container->Release();
    }
    object->Release();
  }
  CHECK(can_unload() == S_OK);
}

std::string ReadValue(const std::string& key, const std::string& name) {
  wchar_t buffer[1024];
  DWORD size = sizeof buffer;
  const LSTATUS status =
      ::RegGetValueW(HKEY_CLASSES_ROOT, Widen(key).c_str(), name.empty() ? nullptr : Widen(name).c_str(),
                     RRF_RT_REG_SZ, nullptr, buffer, &size);
  if (status != ERROR_SUCCESS) return "<missing>";
  return Narrow(buffer);
}

bool KeyExists(const std::string& key) {
  HKEY handle = nullptr;
  if (::RegOpenKeyExW(HKEY_CLASSES_ROOT, Widen(key).c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) {
    return false;
  }
  ::RegCloseKey(handle);
  return true;
}

void CheckRegistered(const std::wstring& path) {
  const auto items = borvane::ClientRegistration(Narrow(path.c_str()));
  for (const auto& key : items.Keys) CHECK(KeyExists(key));
  for (const auto& value : items.Values) {
    const std::string found = ReadValue(value.Key, value.Name);
    if (found != value.Data) {
      std::printf("  %s [%s] = \"%s\", expected \"%s\"\n", value.Key.c_str(), value.Name.c_str(),
                  found.c_str(), value.Data.c_str());
    }
    CHECK(found == value.Data);
  }
  const std::string clsid_key = "CLSID\\" + id::kClientClsid.ToString();
  CHECK(ReadValue(clsid_key + "\\MiscStatus\\1", "") == "131473");
  CHECK(KeyExists(clsid_key + "\\Control"));

  // The type library, registered by the platform from the embedded copy.
  BSTR registered = nullptr;
  CHECK(SUCCEEDED(::QueryPathOfRegTypeLib(ToPlatformGuid(id::kTypeLibId), id::kTypeLibMajor,
                                          id::kTypeLibMinor, id::kTypeLibLocale, &registered)));
  if (registered != nullptr) {
    CHECK(::lstrcmpiW(registered, path.c_str()) == 0);
    ::SysFreeString(registered);
  }
  for (const borvane::Guid* iid : {&id::kClientIid, &id::kClientEventsIid}) {
    CHECK(ReadValue("Interface\\" + iid->ToString() + "\\TypeLib", "") == id::kTypeLibId.ToString());
  }

  // A host finds the class by its ProgID and creates it through the
  // registered in-process server.
  CLSID found{};
  CHECK(SUCCEEDED(::CLSIDFromProgID(L"borvane.client", &found)));
  CHECK(IsEqualCLSID(found, ToPlatformGuid(id::kClientClsid)));
  IDispatch* object = nullptr;
  CHECK(SUCCEEDED(::CoCreateInstance(found, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                     reinterpret_cast<void**>(&object))));
  if (object != nullptr) object->Release();
}

// The key below the type library's locale that names this build's file.
constexpr const char* kSystemKind = sizeof(void*) == 8 ? "win64" : "win32";

void CheckUnregistered(const std::wstring& path) {
  // Unregistering again finds nothing to remove, which is success.
  HMODULE module = ::LoadLibraryW(path.c_str());
  CHECK(module != nullptr);
  if (module != nullptr) {
    using Unregister = HRESULT(WINAPI*)();
    auto unregister = reinterpret_cast<Unregister>(
        reinterpret_cast<void*>(::GetProcAddress(module, "DllUnregisterServer")));
    CHECK(unregister != nullptr && unregister() == S_OK);
    ::FreeLibrary(module);
  }
  const auto client = borvane::ClientRegistration(Narrow(path.c_str()));
  const auto typelib = borvane::TypeLibRegistration(Narrow(path.c_str()), kSystemKind);
  for (const auto* data : {&client, &typelib}) {
    for (const auto& removal : data->Removals) {
      if (KeyExists(removal.Tree)) std::printf("  left behind: %s\n", removal.Tree.c_str());
      CHECK(!KeyExists(removal.Tree));
    }
  }
  CLSID found{};
  CHECK(FAILED(::CLSIDFromProgID(L"borvane.client", &found)));
}

// After this build alone was unregistered: its class is gone from its own
// registry view and its file from the type library, while the names both
// builds share (the ProgID, the type library's version key) still lead to
// the other build.
void CheckRemoved(const std::wstring& path) {
  const std::string clsid_key = "CLSID\\" + id::kClientClsid.ToString();
  CHECK(!KeyExists(clsid_key));
  const auto typelib = borvane::TypeLibRegistration(Narrow(path.c_str()), kSystemKind);
  for (const auto& value : typelib.Values) {
    // The version key stays for the other build; this build's file key goes.
    if (value.Key.starts_with("TypeLib\\") && value.Name.empty()) {
      const bool own = value.Key.ends_with(kSystemKind);
      if (KeyExists(value.Key) == own) std::printf("  %s: wrong\n", value.Key.c_str());
      CHECK(KeyExists(value.Key) != own);
    }
  }
  CLSID found{};
  CHECK(SUCCEEDED(::CLSIDFromProgID(L"borvane.client", &found)));
  IDispatch* object = nullptr;
  CHECK(::CoCreateInstance(ToPlatformGuid(id::kClientClsid), nullptr, CLSCTX_INPROC_SERVER,
                           IID_IDispatch, reinterpret_cast<void**>(&object)) ==
        REGDB_E_CLASSNOTREG);
  if (object != nullptr) object->Release();
}

// The whole text of a file that reports no size (as /proc files do).
std::string ReadAll(const wchar_t* name) {
  HANDLE file = ::CreateFileW(name, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return {};
  std::string text;
  char buffer[4096];
  DWORD got = 0;
  while (::ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) text.append(buffer, got);
  ::CloseHandle(file);
  return text;
}

// Wine's SetLocalTime ends in settimeofday on this very process: it must
// run without CAP_SYS_TIME (bit 25) in its effective, permitted and
// bounding sets, or a component under test could set the machine's clock.
void CheckClockRight() {
  const std::string status = ReadAll(L"Z:\\proc\\self\\status");
  CHECK(!status.empty());
  constexpr unsigned long long kSysTime = 1ULL << 25;
  // Root's bounding set is never empty: a zero would be a misread field.
  CHECK(status.find("CapBnd:\t0000000000000000") == std::string::npos);
  for (const char* field : {"CapEff:", "CapPrm:", "CapBnd:"}) {
    const std::size_t at = status.find(field);
    CHECK(at != std::string::npos);
    if (at == std::string::npos) continue;
    const unsigned long long set = std::strtoull(status.c_str() + at + std::strlen(field), nullptr, 16);
    std::printf("  %s %016llx\n", field, set);
    CHECK((set & kSysTime) == 0);
  }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) {
    std::printf("usage: wine_check typelib|resources|objects|registered|unregistered|removed|clockright OCX\n");
    return 2;
  }
  const std::wstring mode = argv[1];
  wchar_t full[MAX_PATH];
  ::GetFullPathNameW(argv[2], MAX_PATH, full, nullptr);
  const std::wstring path = full;
  ::CoInitialize(nullptr);
  if (mode == L"typelib") {
    CheckTypeLibrary(path);
  } else if (mode == L"resources") {
    CheckResources(path);
  } else if (mode == L"objects") {
    CheckObjects(path);
  } else if (mode == L"registered") {
    CheckRegistered(path);
  } else if (mode == L"unregistered") {
    CheckUnregistered(path);
  } else if (mode == L"removed") {
    CheckRemoved(path);
  } else if (mode == L"clockright") {
    CheckClockRight();
  } else {
    std::printf("unknown mode\n");
    return 2;
  }
  ::CoUninitialize();
  std::printf("%s: %d checks, %d failed\n", Narrow(mode.c_str()).c_str(), wine_check::g_Checks,
              wine_check::g_Failures);
  return wine_check::g_Failures == 0 ? 0 : 1;
}
