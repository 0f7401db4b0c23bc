#pragma once
// Text conversion of double for a standard library that lacks it (libc++
// 13, as Debian's emscripten ships it, has to_chars and from_chars for
// integers only). Force-included into the files that need them in the web
// build, and only there: every other build uses its library's own.
//
// Declared in namespace std because the callers name std::to_chars; the
// exact-type overloads win over the library's integer ones.

#include <charconv>

namespace std {

// Shortest text that reads back as the same double; fixed or scientific,
// whichever is shorter (fixed on a tie), as the standard's plain overload.
to_chars_result to_chars(char* first, char* last, double value);
// The general format, exactly rounded.
from_chars_result from_chars(const char* first, const char* last, double& value,
                             chars_format format = chars_format::general);

}  // namespace std
