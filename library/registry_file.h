#pragma once
// The Linux build's stand-in for the classes root of the registry: a
// per-user text file of keys and text values. Key names match without
// regard to case, as the platform's do.
//
// File format, one item per line, UTF-8, lines ending in LF or CR LF:
//   [KEY]             a key (its parents exist implicitly)
//   NAME=VALUE        a value of the key above; an empty NAME is the
//                     default value. "\" in VALUE is written "\\", a line
//                     break "\n", a carriage return "\r".
//
// This class reads the file and makes its text; writing it back, shared
// with other processes (locking, replacing it whole), is the platform's
// job, behind RegistryStore.

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "library/registration.h"

namespace borvane {

class RegistryFile {
 public:
  // Where the registry file lives: $BORVANE_REGISTRY if set, else
  // $XDG_CONFIG_HOME/borvane/registry, else $HOME/.config/borvane/registry.
  static std::string DefaultPath();

  RegistryFile() = default;
  // Reads `path`; a missing file is an empty registry. Throws
  // std::runtime_error on a file that cannot be read or parsed.
  explicit RegistryFile(const std::string& path);

  // Reads the text form. Throws std::runtime_error naming `origin` and the
  // line ("registry:3: not a registry line") for text it cannot read.
  static RegistryFile FromText(std::string_view text, const std::string& origin);
  std::string ToText() const;

  void CreateKey(const std::string& key);
  void SetValue(const std::string& key, const std::string& name, const std::string& data);
  std::optional<std::string> GetValue(const std::string& key, const std::string& name = "") const;
  bool HasKey(const std::string& key) const;
  // Removes the key and every key below it.
  void DeleteTree(const std::string& key);
  // All keys, in file order of their lower-case names.
  std::vector<std::string> Keys() const;

  void Apply(const RegistrationData& data);
  // Removes each of the data's trees whose conditions hold, all judged on
  // the registry as it was before the first removal.
  void Remove(const RegistrationData& data);

 private:
  struct Entry {
    std::string Name;  // as first written
    std::map<std::string, std::string> Values;
  };
  static std::string Fold(const std::string& key);

  std::map<std::string, Entry> m_Keys;  // by folded name
};

}  // namespace borvane
