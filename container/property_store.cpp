#include "container/property_store.h"

#include <algorithm>
#include <cctype>

#include "container/error.h"

namespace borvane {

bool SameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

bool IsStorableName(std::string_view name) {
  return !name.empty() && std::none_of(name.begin(), name.end(), [](char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '=' || c == '{' ||
           c == '}' || c == '"' || c == '#';
  });
}

namespace {
void CheckName(std::string_view name) {
  if (!IsStorableName(name)) RaiseInvalidPropertyValue("\"" + std::string(name) + "\" cannot name a setting");
}
}  // namespace

const PropertyStore::Entry* PropertyStore::Find(std::string_view name) const {
  for (const Entry& entry : m_Entries) {
    if (SameName(entry.Name, name)) return &entry;
  }
  return nullptr;
}

Variant PropertyStore::Read(std::string_view name, const Variant& default_value) const {
  const Entry* entry = Find(name);
  return entry != nullptr ? entry->Value : default_value;
}

void PropertyStore::Set(std::string_view name, Variant value) {
  for (Entry& entry : m_Entries) {
    if (SameName(entry.Name, name)) {
      entry.Value = std::move(value);
      return;
    }
  }
  m_Entries.push_back({std::string(name), std::move(value)});
}

void PropertyStore::Write(std::string_view name, const Variant& value,
                          const Variant& default_value) {
  CheckName(name);
  if (value == default_value) {
    std::erase_if(m_Entries, [&](const Entry& entry) { return SameName(entry.Name, name); });
    return;
  }
  Set(name, value);
}

PropertyStore& PropertyStore::Block(std::string_view name) {
  CheckName(name);
  for (PropertyStore& block : m_Blocks) {
    if (SameName(block.m_Name, name)) return block;
  }
  return m_Blocks.emplace_back(std::string(name));
}

const PropertyStore* PropertyStore::FindBlock(std::string_view name) const {
  for (const PropertyStore& block : m_Blocks) {
    if (SameName(block.m_Name, name)) return &block;
  }
  return nullptr;
}

std::string PropertyStore::ToText() const {
  std::string out;
  AppendText(out, 0);
  return out;
}

void PropertyStore::AppendText(std::string& out, std::size_t depth) const {
  const std::string indent(depth * 2, ' ');
  for (const Entry& entry : m_Entries) {
    out += indent + entry.Name + " = " + FormatValue(entry.Value) + "\n";
  }
  for (const PropertyStore& block : m_Blocks) {
    if (depth >= kMaxDepth) {
      RaiseInvalidPropertyValue("blocks nested deeper than " + std::to_string(kMaxDepth) +
                                " cannot be stored");
    }
    out += indent + block.m_Name + " {\n";
    block.AppendText(out, depth + 1);
    out += indent + "}\n";
  }
}

}  // namespace borvane
