#include "library/registry_file.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
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
      out += text[i] == 'n' ? '\n' : text[i];
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

RegistryFile::RegistryFile(std::string path) : m_Path(std::move(path)) {
  std::ifstream in(m_Path);
  if (!in) {
    if (std::filesystem::exists(m_Path)) throw std::runtime_error("cannot read " + m_Path);
    return;
  }
  std::string line;
  std::string key;
  int number = 0;
  while (std::getline(in, line)) {
    ++number;
    if (line.empty()) continue;
    if (line.front() == '[' && line.back() == ']') {
      key = line.substr(1, line.size() - 2);
      CreateKey(key);
      continue;
    }
    const auto equals = line.find('=');
    if (key.empty() || equals == std::string::npos) {
      throw std::runtime_error(m_Path + ":" + std::to_string(number) + ": not a registry line");
    }
    SetValue(key, line.substr(0, equals), Unescape(line.substr(equals + 1)));
  }
}

void RegistryFile::Save() const {
  const std::filesystem::path path(m_Path);
  if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path());
  const std::string temporary = m_Path + ".new";
  {
    std::ofstream out(temporary, std::ios::trunc);
    for (const auto& [folded, entry] : m_Keys) {
      out << '[' << entry.Name << "]\n";
      for (const auto& [name, data] : entry.Values) out << name << '=' << Escape(data) << '\n';
    }
    out.flush();
    if (!out) throw std::runtime_error("cannot write " + temporary);
  }
  std::filesystem::rename(temporary, path);
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
  for (const auto& tree : data.Trees) DeleteTree(tree);
}

}  // namespace borvane
