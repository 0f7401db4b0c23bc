// Persistence of the control to a stream (forms) and to a property bag
// (pages' param elements, text forms). The panel keeps no settings of its
// own, so what is stored is its extent: "_ExtentX" and "_ExtentY" in
// HIMETRIC. The time service's address is not among them: it is the
// machine's setting, so a page cannot point the hourly clock setting at a
// server of its choosing.

#include <windows.h>
#include <oleauto.h>

#include "library/identity.h"
#include "platform/windows/client_control.h"
#include "platform/windows/com_boundary.h"
#include "platform/windows/variant_convert.h"

namespace borvane {

namespace {

// The stream's layout: a version, then the extent.
struct StoredControl {
  std::uint32_t Version;
  std::int32_t ExtentX;
  std::int32_t ExtentY;
};
constexpr std::uint32_t kStreamVersion = 1;

// One whole-number value from a bag; false when it is absent or not a
// number (a param element gives text).
bool ReadNumber(IPropertyBag* bag, IErrorLog* log, const wchar_t* name, LONG& value) {
  VARIANT read;
  ::VariantInit(&read);
  V_VT(&read) = VT_I4;
  if (FAILED(bag->Read(name, &read, log))) return false;
  VARIANT number;
  ::VariantInit(&number);
  const HRESULT hr = ::VariantChangeType(&number, &read, 0, VT_I4);
  ::VariantClear(&read);
  if (FAILED(hr)) return false;
  value = V_I4(&number);
  return true;
}

HRESULT WriteNumber(IPropertyBag* bag, const wchar_t* name, LONG value) {
  VARIANT written;
  ::VariantInit(&written);
  V_VT(&written) = VT_I4;
  V_I4(&written) = value;
  return bag->Write(name, &written);
}

}  // namespace

bool ClientControl::ValidExtent(const SIZEL& size) {
  return size.cx > 0 && size.cy > 0 && size.cx <= kMaxExtent && size.cy <= kMaxExtent;
}

HRESULT ClientControl::GetClassID(CLSID* out) {
  if (out == nullptr) return E_POINTER;
  *out = ToPlatformGuid(identity::kClientClsid);
  return S_OK;
}

HRESULT ClientControl::InitNew() {
  m_Extent = kDesignExtent;
  m_Dirty = false;
  return S_OK;
}

HRESULT ClientControl::Load(LPSTREAM stream) {
  if (stream == nullptr) return E_POINTER;
  StoredControl stored{};
  ULONG read = 0;
  const HRESULT hr = stream->Read(&stored, sizeof(stored), &read);
  if (FAILED(hr)) return hr;
  if (read != sizeof(stored)) return STG_E_READFAULT;
  const SIZEL extent{stored.ExtentX, stored.ExtentY};
  // A stream from a later version, or damaged, leaves the control as it was.
  if (stored.Version != kStreamVersion || !ValidExtent(extent)) return E_FAIL;
  m_Extent = extent;
  m_Dirty = false;
  return S_OK;
}

HRESULT ClientControl::Save(LPSTREAM stream, BOOL clear_dirty) {
  if (stream == nullptr) return E_POINTER;
  const StoredControl stored{kStreamVersion, m_Extent.cx, m_Extent.cy};
  ULONG written = 0;
  const HRESULT hr = stream->Write(&stored, sizeof(stored), &written);
  if (FAILED(hr)) return hr;
  if (written != sizeof(stored)) return STG_E_WRITEFAULT;
  if (clear_dirty) m_Dirty = false;
  return S_OK;
}

HRESULT ClientControl::GetSizeMax(ULARGE_INTEGER* size) {
  if (size == nullptr) return E_POINTER;
  size->QuadPart = sizeof(StoredControl);
  return S_OK;
}

HRESULT ClientControl::Load(IPropertyBag* bag, IErrorLog* log) {
  return Guarded([&]() -> HRESULT {
    if (bag == nullptr) return E_POINTER;
    // What the bag leaves out keeps its default; a value that is no sane
    // extent is refused as a whole.
    SIZEL extent = kDesignExtent;
    ReadNumber(bag, log, L"_ExtentX", extent.cx);
    ReadNumber(bag, log, L"_ExtentY", extent.cy);
    if (!ValidExtent(extent)) return E_INVALIDARG;
    m_Extent = extent;
    m_Dirty = false;
    return S_OK;
  });
}

HRESULT ClientControl::Save(IPropertyBag* bag, BOOL clear_dirty, BOOL) {
  return Guarded([&]() -> HRESULT {
    if (bag == nullptr) return E_POINTER;
    HRESULT hr = WriteNumber(bag, L"_ExtentX", m_Extent.cx);
    if (SUCCEEDED(hr)) hr = WriteNumber(bag, L"_ExtentY", m_Extent.cy);
    if (FAILED(hr)) return hr;
    if (clear_dirty) m_Dirty = false;
    return S_OK;
  });
}

}  // namespace borvane
