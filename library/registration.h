#pragma once
// What self-registration writes, as data: keys under the classes root and
// their text values. The Windows build writes these into the real registry
// (and lets the platform register the type library); the Linux build writes
// them, and the type library's own keys, into a registry file.

#include <string>
#include <vector>

namespace borvane {

struct RegistryValue {
  std::string Key;   // below the classes root, "\"-separated
  std::string Name;  // empty for the key's default value
  std::string Data;
};

// A tree that unregistering removes, with everything below it, but only
// while every value in `OnlyIf` still reads as given: keys another copy of
// the library (or another version of the type library) has since written
// over are that copy's, and stay.
struct RegistryRemoval {
  std::string Tree;
  std::vector<RegistryValue> OnlyIf;
};

struct RegistrationData {
  // Every key written, parents before children (some carry no value: the
  // "Control" marker key).
  std::vector<std::string> Keys;
  std::vector<RegistryValue> Values;
  // What unregistering removes.
  std::vector<RegistryRemoval> Removals;
};

// The items for `client`: class, ProgID, in-process server with apartment
// threading, control marker, status flags, toolbox bitmap, type library and
// its version. `library_path` is the library file as hosts load it.
RegistrationData ClientRegistration(const std::string& library_path);

// The keys that registering the type library writes: the library with its
// version, locale, flags and file, and its two interfaces routed to the
// standard automation marshaller. `system_kind` names the file's key below
// the locale: "win64" for a 64-bit library, "win32" for a 32-bit one, so
// both builds can be registered at once.
RegistrationData TypeLibRegistration(const std::string& library_path,
                                     const std::string& system_kind = "win64");

// The key that names the type library's file for one system kind
// ("win64" or "win32"), below the library's version and locale.
std::string TypeLibFileKey(const std::string& system_kind);

// The type library version as the registry writes it: hexadecimal major and
// minor ("20.0" for 32.0).
std::string TypeLibVersionKey();

}  // namespace borvane
