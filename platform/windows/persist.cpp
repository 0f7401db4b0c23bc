// Persistence of the control to a stream (forms) and to a property bag
// (pages' param elements, text forms). The panel keeps no settings of its
// own, so what is stored is its extent: "_ExtentX" and "_ExtentY" in
// HIMETRIC. The time service's address is not among them: it is the
// machine's setting, so a page cannot point the hourly clock setting at a
// server of its choosing.

#include <windows.h>
#include <oleauto.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "library/identity.h"
#include "platform/windows/client_control.h"
#include "platform/windows/com_boundary.h"
#include "platform/windows/com_boundary.h"
#include "platform/windows/variant_convert.h"

namespace borvane {

namespace {

// The stream's layout, little-endian:
//   version 1   u32 version, i32 extent x, i32 extent y (12 bytes)
//   version 2+  u32 version, u32 length, then `length` bytes of fields:
//               i32 extent x, i32 extent y, and whatever a later build
//               appends after them.
// A later build only ever appends fields, so this one reads the fields it
// knows and skips the rest; the stream is left just past the control's
// record either way, where a form keeps the next control's data.
constexpr std::uint32_t kStreamVersion = 2;
struct StoredExtent {
  std::int32_t ExtentX;
  std::int32_t ExtentY;
};
constexpr std::uint32_t kFieldsLength = sizeof(StoredExtent);
// A record longer than this is damage, not a later build's fields.
constexpr std::uint32_t kMaxRecordLength = 64 * 1024;

HRESULT ReadExactly(IStream* stream, void* data, ULONG size) {
  ULONG read = 0;
  const HRESULT hr = stream->Read(data, size, &read);
  if (FAILED(hr)) return hr;
  return read == size ? S_OK : STG_E_READFAULT;
}

bool ValidSide(LONG side) { return side > 0 && side <= ClientControl::kMaxExtent; }

// Tells the host's error log (when it passed one) that a stored value was
// left out, and why.
void LogSkipped(IErrorLog* log, const wchar_t* name, const wchar_t* why) {
  if (log == nullptr) return;
  EXCEPINFO error{};
  error.scode = MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL,
                             static_cast<unsigned>(ErrorCode::InvalidPropertyValue));
  const std::wstring source = Widen(std::string(identity::kClientProgId));
  error.bstrSource = ::SysAllocString(source.c_str());
  error.bstrDescription = ::SysAllocString(why);
  log->AddError(name, &error);
  ::SysFreeString(error.bstrSource);
  ::SysFreeString(error.bstrDescription);
}

// One side of the extent from a bag. A value the bag does not have keeps
// `value`; one that is no whole number, or no sane side, is skipped (and
// logged): a page's one bad param element never refuses the control.
void ReadSide(IPropertyBag* bag, IErrorLog* log, const wchar_t* name, LONG& value) {
  VARIANT read;
  ::VariantInit(&read);
  V_VT(&read) = VT_I4;
  HRESULT hr = bag->Read(name, &read, log);
  if (FAILED(hr)) {
    // Asked as a number, some bags refuse text they hold: ask for it as is.
    ::VariantInit(&read);
    hr = bag->Read(name, &read, nullptr);
    if (FAILED(hr)) return;  // not there: the default stays
  }
  VARIANT number;
  ::VariantInit(&number);
  hr = ::VariantChangeType(&number, &read, 0, VT_I4);
  ::VariantClear(&read);
  if (FAILED(hr)) {
    LogSkipped(log, name, L"not a whole number; the default size is kept");
    return;
  }
  if (!ValidSide(V_I4(&number))) {
    LogSkipped(log, name, L"outside 1..108373 HIMETRIC; the default size is kept");
    return;
  }
  value = V_I4(&number);
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
  return Guarded([&]() -> HRESULT {
    std::uint32_t version = 0;
    HRESULT hr = ReadExactly(stream, &version, sizeof(version));
    if (FAILED(hr)) return hr;
    StoredExtent stored{};
    if (version == 1) {
      hr = ReadExactly(stream, &stored, sizeof(stored));
      if (FAILED(hr)) return hr;
    } else if (version >= 2) {
      std::uint32_t length = 0;
      hr = ReadExactly(stream, &length, sizeof(length));
      if (FAILED(hr)) return hr;
      if (length < kFieldsLength || length > kMaxRecordLength) return STG_E_INVALIDHEADER;
      // The whole record is read, so the stream ends up past it.
      std::vector<std::uint8_t> record(length);
      hr = ReadExactly(stream, record.data(), length);
      if (FAILED(hr)) return hr;
      std::memcpy(&stored, record.data(), sizeof(stored));
    } else {
      return STG_E_INVALIDHEADER;
    }
    // A damaged side is skipped like a bad bag value: the other stays.
    m_Extent = kDesignExtent;
    if (ValidSide(stored.ExtentX)) m_Extent.cx = stored.ExtentX;
    if (ValidSide(stored.ExtentY)) m_Extent.cy = stored.ExtentY;
    m_Dirty = false;
    return S_OK;
  });
}

HRESULT ClientControl::Save(LPSTREAM stream, BOOL clear_dirty) {
  if (stream == nullptr) return E_POINTER;
  struct {
    std::uint32_t Version;
    std::uint32_t Length;
    StoredExtent Fields;
  } const stored{kStreamVersion, kFieldsLength, {m_Extent.cx, m_Extent.cy}};
  static_assert(sizeof(stored) == 8 + kFieldsLength);
  ULONG written = 0;
  const HRESULT hr = stream->Write(&stored, sizeof(stored), &written);
  if (FAILED(hr)) return hr;
  if (written != sizeof(stored)) return STG_E_WRITEFAULT;
  if (clear_dirty) m_Dirty = false;
  return S_OK;
}

HRESULT ClientControl::GetSizeMax(ULARGE_INTEGER* size) {
  if (size == nullptr) return E_POINTER;
  size->QuadPart = 8 + kFieldsLength;
  return S_OK;
}

HRESULT ClientControl::Load(IPropertyBag* bag, IErrorLog* log) {
  if (bag == nullptr) return E_POINTER;
  return Guarded([&]() -> HRESULT {
    // What the bag leaves out keeps its default, and so does a bad value.
    SIZEL extent = kDesignExtent;
    ReadSide(bag, log, L"_ExtentX", extent.cx);
    ReadSide(bag, log, L"_ExtentY", extent.cy);
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
