#include "library/registry_file.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

namespace borvane {

namespace {

std::string Escape(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\\') {
      out += "\\\\";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      // Escaped so that a reader of CR LF files cannot take it for the end
      // of the line.
      out += "\\r";
    } else {
      out += c;
    }
  }
  return out;
}

std::string Unescape(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size()) {
      ++i;
      out += text[i] == 'n' ? '\n' : text[i] == 'r' ? '\r' : text[i];
    } else {
      out += text[i];
    }
  }
  return out;
}

}  // namespace

std::string RegistryFile::DefaultPath() {
  if (const char* path = std::getenv("BORVANE_REGISTRY"); path != nullptr && *path != '\0') {
    return path;
  }
  if (const char* config = std::getenv("XDG_CONFIG_HOME"); config != nullptr && *config != '\0') {
    return std::string(config) + "/borvane/registry";
  }
  const char* home = std::getenv("HOME");
  return std::string(home != nullptr ? home : ".") + "/.config/borvane/registry";
}

std::string RegistryFile::Fold(const std::string& key) {
  std::string folded = key;
  for (char& c : folded) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return folded;
}

RegistryFile::RegistryFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    if (std::filesystem::exists(path)) throw std::runtime_error("cannot read " + path);
    return;
  }
  std::ostringstream text;
  text << in.rdbuf();
  if (in.bad()) throw std::runtime_error("cannot read " + path);
  *this = FromText(text.str(), path);
}

RegistryFile RegistryFile::FromText(std::string_view text, const std::string& origin) {
  RegistryFile registry;
  std::string key;
  int number = 0;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
    ++number;
    // Files edited on the other platform end their lines in CR LF.
    if (line.ends_with('\r')) line.remove_suffix(1);
    if (line.empty()) continue;
    // What ToText could not have written (a stray carriage return in a
    // name, a '[' line that is no key) is damage, not data.
    const auto damaged = [&] {
      return std::runtime_error(origin + ":" + std::to_string(number) + ": not a registry line");
    };
    if (line.front() == '[') {
      if (line.size() < 2 || line.back() != ']' || line.find('\r') != std::string_view::npos) {
        throw damaged();
      }
      key = std::string(line.substr(1, line.size() - 2));
      registry.CreateKey(key);
      continue;
    }
    const auto equals = line.find('=');
    if (key.empty() || equals == std::string_view::npos ||
        line.substr(0, equals).find('\r') != std::string_view::npos) {
      throw damaged();
    }
    registry.SetValue(key, std::string(line.substr(0, equals)),
                      Unescape(std::string(line.substr(equals + 1))));
  }
  return registry;
}

std::string RegistryFile::ToText() const {
  // Names are written raw, so one that would read back as something else
  // is refused rather than written.
  const auto check = [](const std::string& name, bool value_name) {
    const bool bad = name.find_first_of("\r\n") != std::string::npos ||
                     (value_name && (name.find('=') != std::string::npos || name.starts_with('[')));
    if (bad) throw std::runtime_error("a registry file cannot hold the name \"" + name + "\"");
  };
  std::string out;
  for (const auto& [folded, entry] : m_Keys) {
    check(entry.Name, false);
    out += '[' + entry.Name + "]\n";
    for (const auto& [name, data] : entry.Values) {
      check(name, true);
      out += name + '=' + Escape(data) + '\n';
    }
  }
  return out;
}

void RegistryFile::CreateKey(const std::string& key) {
  // Parents exist implicitly; only the key itself gets an entry.
  auto [it, inserted] = m_Keys.try_emplace(Fold(key));
  if (inserted) it->second.Name = key;
}

void RegistryFile::SetValue(const std::string& key, const std::string& name,
                            const std::string& data) {
  CreateKey(key);
  m_Keys[Fold(key)].Values[name] = data;
}

std::optional<std::string> RegistryFile::GetValue(const std::string& key,
                                                  const std::string& name) const {
  const auto it = m_Keys.find(Fold(key));
  if (it == m_Keys.end()) return std::nullopt;
  const auto value = it->second.Values.find(name);
  if (value == it->second.Values.end()) return std::nullopt;
  return value->second;
}

bool RegistryFile::HasKey(const std::string& key) const {
  const std::string folded = Fold(key);
  for (auto it = m_Keys.lower_bound(folded); it != m_Keys.end() && it->first.starts_with(folded); ++it) {
    if (it->first == folded || it->first.compare(0, folded.size() + 1, folded + "\\") == 0) return true;
  }
  return false;
}

void RegistryFile::DeleteTree(const std::string& key) {
  const std::string folded = Fold(key);
  // Keys below sort after the key but not always next to it ("a-b" sorts
  // between "a" and "a\\b"), so walk every key that starts with it.
  for (auto it = m_Keys.lower_bound(folded); it != m_Keys.end() && it->first.starts_with(folded);) {
    const bool below = it->first == folded || it->first.compare(0, folded.size() + 1, folded + "\\") == 0;
    it = below ? m_Keys.erase(it) : std::next(it);
  }
}

std::vector<std::string> RegistryFile::Keys() const {
  std::vector<std::string> keys;
  for (const auto& [folded, entry] : m_Keys) keys.push_back(entry.Name);
  return keys;
}

void RegistryFile::Apply(const RegistrationData& data) {
  for (const auto& key : data.Keys) CreateKey(key);
  for (const auto& value : data.Values) SetValue(value.Key, value.Name, value.Data);
}

void RegistryFile::Remove(const RegistrationData& data) {
  std::vector<std::string> doomed;
  for (const auto& removal : data.Removals) {
    bool own = true;
    for (const auto& value : removal.OnlyIf) own = own && GetValue(value.Key, value.Name) == value.Data;
    if (own) doomed.push_back(removal.Tree);
  }
  for (const auto& tree : doomed) DeleteTree(tree);
}

}  // namespace borvane
