// The registry file reader on any text. A text either reads or is refused
// with an error that names the line; what reads is written out and reads
// again as the same keys and values, and removing a key's tree removes it
// and what lies below.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <optional>
#include <string>
#include <string_view>

#include "library/registry_file.h"

namespace {

void Require(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "registry_file_fuzz: %s\n", what);
    std::abort();
  }
}

// Key names match without regard to ASCII case.
std::string Fold(std::string key) {
  for (char& c : key) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return key;
}

// Every key with every value, as one comparable text.
std::string Dump(const borvane::RegistryFile& registry, const std::string& names) {
  std::string out;
  for (const std::string& key : registry.Keys()) {
    out += "[" + key + "]\n";
    for (std::size_t from = 0; from <= names.size();) {
      const std::size_t end = std::min(names.find('\n', from), names.size());
      const std::string name = names.substr(from, end - from);
      if (const auto value = registry.GetValue(key, name)) out += name + "=" + *value + "\n";
      from = end + 1;
    }
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(bytes), size);
  std::optional<borvane::RegistryFile> registry;
  try {
    registry.emplace(borvane::RegistryFile::FromText(text, "registry"));
  } catch (const std::exception& error) {
    // "registry:LINE: what is wrong"
    const std::string_view what = error.what();
    const std::size_t digits = what.find_first_not_of("0123456789", 9);
    Require(what.starts_with("registry:") && digits > 9 && digits != std::string_view::npos &&
                what[digits] == ':',
            "a refusal that names no line");
    return 0;
  }

  // The value names the file could hold: every text before a '=' on a line.
  std::string names;
  for (std::size_t from = 0; from < text.size();) {
    const std::size_t end = std::min(text.find('\n', from), text.size());
    const std::string line = text.substr(from, end - from);
    if (const std::size_t equals = line.find('='); equals != std::string::npos) {
      names += line.substr(0, equals) + "\n";
    }
    from = end + 1;
  }

  const std::string before = Dump(*registry, names);
  const borvane::RegistryFile again = borvane::RegistryFile::FromText(registry->ToText(), "written");
  Require(Dump(again, names) == before, "the registry does not read back as it was written");

  // Removing the tree of the first key leaves nothing at or below it.
  const auto keys = again.Keys();
  if (!keys.empty()) {
    borvane::RegistryFile pruned = again;
    pruned.DeleteTree(keys.front());
    Require(!pruned.HasKey(keys.front()), "a deleted key is still there");
    const std::string gone = Fold(keys.front());
    for (const std::string& key : pruned.Keys()) {
      Require(Fold(key) != gone && !Fold(key).starts_with(gone + "\\"),
              "a key at or below a deleted one is still there");
    }
  }
  return 0;
}
