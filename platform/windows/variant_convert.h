#pragma once
// Between the platform's VARIANT and the library's Variant, for the
// by-reference arguments of the dispatch interface. Texts are UTF-16 on the
// platform side and UTF-8 in the library.

#include <windows.h>
#include <oaidl.h>

#include <string>

#include "container/variant.h"
#include "library/guid.h"

namespace borvane {

// Follows a by-reference variant. Empty and Null give the empty variant;
// numbers of other widths and dates convert to double, anything else
// convertible to text gives text; the rest raises a type mismatch.
Variant FromPlatformVariant(const VARIANT& in);

// Clears `out` and stores `in` in it with the nearest platform type.
void ToPlatformVariant(const Variant& in, VARIANT& out);

// Stores `in` where a by-reference argument points: into the caller's
// variable of its own type (VT_BYREF with VT_I2, VT_I4, VT_R8, VT_BSTR,
// VT_CY, VT_DATE, VT_BOOL and the other plain types), converted as that
// type needs, or into `out` itself when it is no typed reference. Raises
// a type mismatch (or overflow) when the value does not fit the type; the
// caller's variable is then left as it was.
void StoreThroughReference(const Variant& in, VARIANT& out);

std::wstring Widen(const std::string& utf8);
std::string Narrow(const wchar_t* utf16, int length = -1);
// A new BSTR the caller owns.
BSTR ToBstr(const std::string& utf8);

GUID ToPlatformGuid(const Guid& guid);

}  // namespace borvane
