#pragma once
// Result codes of the component boundary, with the platform's numbers so
// that hosts recognise them. Negative values are failures.

#include <cstdint>

namespace borvane {

using HResult = std::int32_t;

constexpr HResult MakeHResult(std::uint32_t bits) { return static_cast<HResult>(bits); }

inline constexpr HResult kOk = 0;
inline constexpr HResult kFalse = 1;
inline constexpr HResult kNoInterface = MakeHResult(0x80004002);
inline constexpr HResult kPointer = MakeHResult(0x80004003);
inline constexpr HResult kFail = MakeHResult(0x80004005);
inline constexpr HResult kOutOfMemory = MakeHResult(0x8007000E);
inline constexpr HResult kInvalidArg = MakeHResult(0x80070057);
inline constexpr HResult kNoAggregation = MakeHResult(0x80040110);
inline constexpr HResult kClassNotAvailable = MakeHResult(0x80040111);
inline constexpr HResult kRegistryWriteFailed = MakeHResult(0x80040151);  // SELFREG_E_CLASS
inline constexpr HResult kTypeLibWriteFailed = MakeHResult(0x80040150);   // SELFREG_E_TYPELIB
inline constexpr HResult kDispMemberNotFound = MakeHResult(0x80020003);
inline constexpr HResult kDispTypeMismatch = MakeHResult(0x80020005);
inline constexpr HResult kDispUnknownName = MakeHResult(0x80020006);
inline constexpr HResult kDispException = MakeHResult(0x80020009);
inline constexpr HResult kDispBadParamCount = MakeHResult(0x8002000E);

inline constexpr bool Failed(HResult code) { return code < 0; }

}  // namespace borvane
