#pragma once
// Every identity the library shows to hosts, in one table. The Linux and
// Windows builds both read it; the build also fills the type library source
// (borvane.idl.in) and the Windows resource script from the `k` constants
// below (cmake/identity.cmake reads them by their declaration pattern, so
// keep one constant per line in the form used here).

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

#include "library/guid.h"

namespace borvane::identity {

// The type library.
inline constexpr std::string_view kTypeLibName = "borvane";
inline constexpr Guid kTypeLibId{"79299DA5-372A-4431-8DDA-E5EE79DD9C0D"};
inline constexpr std::uint16_t kTypeLibMajor = 32;
inline constexpr std::uint16_t kTypeLibMinor = 0;
inline constexpr std::uint32_t kTypeLibLocale = 0x0409;
// The library is a control library (LIBFLAG_FCONTROL).
inline constexpr std::uint32_t kTypeLibFlags = 0x2;
inline constexpr std::string_view kTypeLibHelp = "Nolvera Beijing time check panel (borvane)";
// The platform's standard automation library, imported for IDispatch.
inline constexpr Guid kStdOle2Id{"00020430-0000-0000-C000-000000000046"};

// The three classes and their interfaces.
inline constexpr Guid kClientClsid{"C5D0DFF5-6D39-4F98-88CD-12E8430A6300"};
inline constexpr Guid kClientIid{"39475702-FFFC-4D08-AE12-E42FEE8FA153"};
inline constexpr Guid kClientEventsIid{"3ADDE677-27EF-4688-9194-DCB0CEB37001"};
inline constexpr Guid kGroupBoxClsid{"C8E6808A-D183-4623-AC36-95EE0BDDBE2F"};
inline constexpr Guid kGroupBoxIid{"AAEA4E91-7835-4478-BB60-EA7B68ECDDA6"};
inline constexpr Guid kGroupBoxEventsIid{"28485F77-F396-40F7-B28B-FA1579DB88E3"};
inline constexpr Guid kButtonClsid{"6B629CAB-1A0A-446B-B00E-3A0E37C1FCC9"};
inline constexpr Guid kButtonIid{"5D8D1904-12EB-4F58-8AE9-59893225DBB9"};
inline constexpr Guid kButtonEventsIid{"14688CC2-0E74-44C0-A4AA-B1039F21C90D"};

// The clock record described in the type library.
inline constexpr Guid kSystemTimeId{"E4BCF5EB-D514-4031-A7E0-0C5781AFB4F1"};

// Control status flags (OLEMISC): RECOMPOSEONRESIZE | CANTLINKINSIDE |
// INSIDEOUT | ACTIVATEWHENVISIBLE | SETCLIENTSITEFIRST, plus SIMPLEFRAME for
// the group box and ACTSLIKEBUTTON for the button.
inline constexpr std::uint32_t kClientMiscStatus = 0x20191;
inline constexpr std::uint32_t kGroupBoxMiscStatus = 0x30191;
inline constexpr std::uint32_t kButtonMiscStatus = 0x21191;

inline constexpr std::string_view kClientProgId = "borvane.client";
inline constexpr std::string_view kGroupBoxProgId = "borvane.xpgroupbox";
inline constexpr std::string_view kButtonProgId = "borvane.xpcmdbutton";
inline constexpr std::string_view kThreadingModel = "Apartment";

// Dispatch identifiers of the public methods.
inline constexpr std::int32_t kDispIdDisplayTime = 0x60030000;
inline constexpr std::int32_t kDispIdDeCrypt = 0x60030001;

// File and product version 1.3.0.8, and how the version strings write it.
inline constexpr std::uint16_t kVersionMajor = 1;
inline constexpr std::uint16_t kVersionMinor = 3;
inline constexpr std::uint16_t kVersionBuild = 0;
inline constexpr std::uint16_t kVersionRevision = 8;
inline constexpr std::string_view kVersionText = "1.03.0008";
inline constexpr std::string_view kInternalName = "client";
inline constexpr std::string_view kProductName = "borvane";
inline constexpr std::string_view kCompanyName = "Nolvera";

// Resource numbers in the Windows library file.
inline constexpr std::uint16_t kTypeLibResource = 1;
inline constexpr std::uint16_t kToolboxBitmapResource = 30000;

struct ClassIdentity {
  std::string_view Name;
  int ObjectIndex;
  Guid Clsid;
  Guid DefaultInterface;
  Guid EventInterface;
  std::string_view ProgId;
  std::uint32_t MiscStatus;
  // Offered to hosts: registered, described in the type library, creatable.
  bool Public;
};

// In object-index order.
inline constexpr std::array<ClassIdentity, 3> kClasses{{
    {"client", 0, kClientClsid, kClientIid, kClientEventsIid, kClientProgId, kClientMiscStatus,
     true},
    {"xpgroupbox", 1, kGroupBoxClsid, kGroupBoxIid, kGroupBoxEventsIid, kGroupBoxProgId,
     kGroupBoxMiscStatus, false},
    {"xpcmdbutton", 2, kButtonClsid, kButtonIid, kButtonEventsIid, kButtonProgId,
     kButtonMiscStatus, false},
}};

}  // namespace borvane::identity
