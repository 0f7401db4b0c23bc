#pragma once
// The Linux build's stand-in for the classes root of the registry: a
// per-user text file of keys and text values. Key names match without
// regard to case, as the platform's do.
//
// File format, one item per line, UTF-8:
//   [KEY]             a key (its parents exist implicitly)
//   NAME=VALUE        a value of the key above; an empty NAME is the
//                     default value. "\" in VALUE is written "\\", a line
//                     break "\n".

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "library/registration.h"

namespace borvane {

class RegistryFile {
 public:
  // Where the registry file lives: $BORVANE_REGISTRY if set, else
  // $XDG_CONFIG_HOME/borvane/registry, else $HOME/.config/borvane/registry.
  static std::string DefaultPath();

  // Reads `path`; a missing file is an empty registry. Throws
  // std::runtime_error on a file that cannot be read or parsed.
  explicit RegistryFile(std::string path);

  // Writes the whole registry back (to a temporary file, then renamed over
  // the old one, so a failed write never leaves half a registry).
  void Save() const;

  void CreateKey(const std::string& key);
  void SetValue(const std::string& key, const std::string& name, const std::string& data);
  std::optional<std::string> GetValue(const std::string& key, const std::string& name = "") const;
  bool HasKey(const std::string& key) const;
  // Removes the key and every key below it.
  void DeleteTree(const std::string& key);
  // All keys, in file order of their lower-case names.
  std::vector<std::string> Keys() const;

  void Apply(const RegistrationData& data);
  void Remove(const RegistrationData& data);

 private:
  struct Entry {
    std::string Name;  // as first written
    std::map<std::string, std::string> Values;
  };
  static std::string Fold(const std::string& key);

  std::string m_Path;
  std::map<std::string, Entry> m_Keys;  // by folded name
};

}  // namespace borvane
