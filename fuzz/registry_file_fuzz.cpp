// The registry file reader on any file. A file either reads or is refused
// with an error; what reads is written back and reads again as the same
// keys and values, and removing a key's tree removes it and what lies below.

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

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

// A folder of this process's own (under $TMPDIR: scripts/fuzz.sh points it
// at memory, as every run writes and renames a file) for the files of one run.
const std::filesystem::path& Folder() {
  // Never destroyed, so the clean-up at exit still has it.
  static const auto* folder = [] {
    auto* path = new std::filesystem::path(std::filesystem::temp_directory_path() /
                                           ("borvane-registry-fuzz-" + std::to_string(getpid())));
    std::filesystem::create_directories(*path);
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(Folder(), ignored);
    });
    return path;
  }();
  return *folder;
}

void WriteFile(const std::filesystem::path& path, const std::uint8_t* bytes, std::size_t size) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes), static_cast<std::streamsize>(size));
  Require(static_cast<bool>(out), "cannot write the input file");
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
  const std::filesystem::path input = Folder() / "registry";
  WriteFile(input, bytes, size);
  std::optional<borvane::RegistryFile> registry;
  try {
    registry.emplace(input.string());
  } catch (const std::exception&) {
    return 0;  // refused, with a message
  }

  // The value names the file could hold: every text before a '=' on a line.
  std::string names;
  const std::string text(reinterpret_cast<const char*>(bytes), size);
  for (std::size_t from = 0; from < text.size();) {
    const std::size_t end = std::min(text.find('\n', from), text.size());
    const std::string line = text.substr(from, end - from);
    if (const std::size_t equals = line.find('='); equals != std::string::npos) {
      names += line.substr(0, equals) + "\n";
    }
    from = end + 1;
  }

  const std::string before = Dump(*registry, names);
  registry->Save();
  const borvane::RegistryFile again(input.string());
  Require(Dump(again, names) == before, "the registry does not read back as it was written");

  // Removing the tree of the first key leaves nothing at or below it.
  const auto keys = again.Keys();
  if (!keys.empty()) {
    borvane::RegistryFile pruned(input.string());
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
