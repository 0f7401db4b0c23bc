#pragma once
// The module this code was loaded from (borvane.ocx, or a test program that
// links it in): window classes are registered under it.

#include <windows.h>

namespace borvane {

inline HINSTANCE ThisModule() {
  HMODULE module = nullptr;
  ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                           GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&ThisModule), &module);
  return module;
}

}  // namespace borvane
