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

std::wstring Widen(const std::string& utf8);
std::string Narrow(const wchar_t* utf16, int length = -1);
// A new BSTR the caller owns.
BSTR ToBstr(const std::string& utf8);

GUID ToPlatformGuid(const Guid& guid);

}  // namespace borvane
