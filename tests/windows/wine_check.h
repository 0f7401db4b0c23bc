#pragma once
// Shared by the parts of wine_check: a check that counts and reports
// instead of stopping, and the checks each part offers.

#include <windows.h>
#include <oleauto.h>

#include <cstdio>
#include <string>

namespace wine_check {

inline int g_Checks = 0;
inline int g_Failures = 0;

#define CHECK(condition)                                                   \
  do {                                                                     \
    ++wine_check::g_Checks;                                                \
    if (!(condition)) {                                                    \
      ++wine_check::g_Failures;                                            \
      std::printf("FAILED %s:%d: %s\n", __FILE__, __LINE__, #condition);   \
    }                                                                      \
  } while (0)

// The name of a type description (MEMBERID_NIL) or of one of its members,
// or "?" when the reader cannot tell.
std::string Name(ITypeInfo* info, MEMBERID member);

// The type library embedded in the file at `path`.
void CheckTypeLibrary(const std::wstring& path);

}  // namespace wine_check
