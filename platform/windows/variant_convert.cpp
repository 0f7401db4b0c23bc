#include "platform/windows/variant_convert.h"

#include <oleauto.h>

#include "container/error.h"

namespace borvane {

std::wstring Widen(const std::string& utf8) {
  if (utf8.empty()) return {};
  const int size = static_cast<int>(utf8.size());
  const int length = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide.data(), length);
  return wide;
}

std::string Narrow(const wchar_t* utf16, int length) {
  if (utf16 == nullptr || length == 0) return {};
  const int size = ::WideCharToMultiByte(CP_UTF8, 0, utf16, length, nullptr, 0, nullptr, nullptr);
  std::string narrow(static_cast<std::size_t>(size), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, utf16, length, narrow.data(), size, nullptr, nullptr);
  if (length < 0 && !narrow.empty()) narrow.pop_back();  // the counted terminator
  return narrow;
}

BSTR ToBstr(const std::string& utf8) {
  const std::wstring wide = Widen(utf8);
  return ::SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
}

GUID ToPlatformGuid(const Guid& guid) {
  GUID out{};
  out.Data1 = guid.Data1;
  out.Data2 = guid.Data2;
  out.Data3 = guid.Data3;
  for (std::size_t i = 0; i < 8; ++i) out.Data4[i] = guid.Data4[i];
  return out;
}

Variant FromPlatformVariant(const VARIANT& in) {
  if (V_VT(&in) == (VT_BYREF | VT_VARIANT)) {
    if (V_VARIANTREF(&in) == nullptr) RaiseTypeMismatch("null variant reference");
    return FromPlatformVariant(*V_VARIANTREF(&in));
  }
  switch (V_VT(&in)) {
    case VT_EMPTY:
    case VT_NULL:
      return Variant();
    case VT_BOOL:
      return Variant(V_BOOL(&in) != VARIANT_FALSE);
    case VT_I2:
      return Variant(static_cast<std::int16_t>(V_I2(&in)));
    case VT_I4:
      return Variant(static_cast<std::int32_t>(V_I4(&in)));
    case VT_R8:
      return Variant(V_R8(&in));
    case VT_BSTR:
      return Variant(Narrow(V_BSTR(&in), static_cast<int>(::SysStringLen(V_BSTR(&in)))));
    default:
      break;
  }
  VARIANT converted;
  ::VariantInit(&converted);
  // The conversion reads its source only; the platform's signature is not const.
  VARIANT* source = const_cast<VARIANT*>(&in);
  if (SUCCEEDED(::VariantChangeType(&converted, source, 0, VT_R8))) {
    return Variant(V_R8(&converted));
  }
  if (SUCCEEDED(::VariantChangeType(&converted, source, 0, VT_BSTR))) {
    Variant text(Narrow(V_BSTR(&converted), static_cast<int>(::SysStringLen(V_BSTR(&converted)))));
    ::VariantClear(&converted);
    return text;
  }
  RaiseTypeMismatch("argument of variant type " + std::to_string(V_VT(&in)));
}

void ToPlatformVariant(const Variant& in, VARIANT& out) {
  ::VariantClear(&out);
  switch (in.GetType()) {
    case Variant::Type::Empty:
      break;
    case Variant::Type::Boolean:
      V_VT(&out) = VT_BOOL;
      V_BOOL(&out) = in.ToBool() ? VARIANT_TRUE : VARIANT_FALSE;
      break;
    case Variant::Type::Integer:
      V_VT(&out) = VT_I2;
      V_I2(&out) = in.ToInt16();
      break;
    case Variant::Type::Long:
      V_VT(&out) = VT_I4;
      V_I4(&out) = static_cast<LONG>(in.ToInt32());
      break;
    case Variant::Type::Double:
      V_VT(&out) = VT_R8;
      V_R8(&out) = in.ToDouble();
      break;
    case Variant::Type::String:
      V_VT(&out) = VT_BSTR;
      V_BSTR(&out) = ToBstr(in.ToText());
      break;
    case Variant::Type::Font:
      RaiseTypeMismatch("a font cannot be returned to the host");
  }
}

void StoreThroughReference(const Variant& in, VARIANT& out) {
  const VARTYPE type = V_VT(&out);
  if ((type & VT_BYREF) == 0 || type == (VT_BYREF | VT_VARIANT) || V_BYREF(&out) == nullptr) {
    ToPlatformVariant(in, type == (VT_BYREF | VT_VARIANT) && V_VARIANTREF(&out) != nullptr
                              ? *V_VARIANTREF(&out)
                              : out);
    return;
  }
  const VARTYPE base = static_cast<VARTYPE>(type & ~VT_BYREF);
  VARIANT value;
  ::VariantInit(&value);
  ToPlatformVariant(in, value);
  VARIANT converted;
  ::VariantInit(&converted);
  const HRESULT hr = ::VariantChangeType(&converted, &value, 0, base);
  ::VariantClear(&value);
  if (hr == DISP_E_OVERFLOW) RaiseOverflow("the value does not fit the caller's variable");
  if (FAILED(hr)) RaiseTypeMismatch("by-reference argument of variant type " + std::to_string(type));
  void* target = V_BYREF(&out);
  switch (base) {
    case VT_BSTR: {
      BSTR* text = static_cast<BSTR*>(target);
      ::SysFreeString(*text);
      *text = V_BSTR(&converted);  // handed over: `converted` is not cleared
      return;
    }
    case VT_I1: case VT_UI1: *static_cast<BYTE*>(target) = V_UI1(&converted); return;
    case VT_I2: case VT_UI2: *static_cast<USHORT*>(target) = V_UI2(&converted); return;
    case VT_BOOL: *static_cast<VARIANT_BOOL*>(target) = V_BOOL(&converted); return;
    case VT_I4: case VT_UI4: case VT_INT: case VT_UINT: case VT_ERROR:
      *static_cast<ULONG*>(target) = V_UI4(&converted);
      return;
    case VT_R4: *static_cast<FLOAT*>(target) = V_R4(&converted); return;
    case VT_R8: *static_cast<DOUBLE*>(target) = V_R8(&converted); return;
    case VT_DATE: *static_cast<DATE*>(target) = V_DATE(&converted); return;
    case VT_CY: *static_cast<CY*>(target) = V_CY(&converted); return;
    case VT_I8: case VT_UI8: *static_cast<ULONGLONG*>(target) = V_UI8(&converted); return;
    case VT_DECIMAL: *static_cast<DECIMAL*>(target) = V_DECIMAL(&converted); return;
    default:
      ::VariantClear(&converted);
      RaiseTypeMismatch("by-reference argument of variant type " + std::to_string(type));
  }
}

}  // namespace borvane
