#pragma once
// The container's per-instance store of named settings.
//
// Read gives the stored value or the default passed with the read; Write
// keeps no entry equal to its default (reading then gives the default back);
// names match without regard to ASCII case. Entries keep the order of
// their first write. A store may hold named blocks, one per constituent, so
// one store holds a whole panel's design data.
//
// Text form, one entry per line, blocks nested with braces:
//
//   # comment
//   State = 1
//   Caption = "查询"
//   Font = Font("Arial", 9, Bold)
//   Command1 {
//     Enabled = False
//   }
//
// Values: Empty, Nothing (no font), True/False, 12% (16-bit), 12 (32-bit),
// 12.5 or 1e+300 or inf/-inf/nan (double), "text" (with \" \\ \n \r \t and
// \xHH escapes), Font("name", size[, Bold][, Italic][, Underline][, Strikethrough]).

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "container/variant.h"

namespace borvane {

class PropertyStore {
 public:
  struct Entry {
    std::string Name;
    Variant Value;
  };

  PropertyStore() = default;
  explicit PropertyStore(std::string name) : m_Name(std::move(name)) {}

  // The block's name; empty for a top-level store.
  const std::string& Name() const { return m_Name; }

  Variant Read(std::string_view name, const Variant& default_value) const;
  // Raises InvalidPropertyValue for a name that the text form cannot hold
  // (empty, or with blanks, quotes, '=', '{', '}' or '#').
  void Write(std::string_view name, const Variant& value, const Variant& default_value);
  bool Contains(std::string_view name) const { return Find(name) != nullptr; }
  const std::vector<Entry>& Entries() const { return m_Entries; }

  // The block of that name, created empty when missing. References to
  // blocks stay valid until the next block is created.
  PropertyStore& Block(std::string_view name);
  const PropertyStore* FindBlock(std::string_view name) const;
  const std::vector<PropertyStore>& Blocks() const { return m_Blocks; }

  // How deep blocks may nest, in the text form and in ToText: a panel
  // needs three levels, and a bound keeps hostile text from exhausting the
  // stack or multiplying its size through indentation.
  static constexpr std::size_t kMaxDepth = 64;

  // Raises InvalidPropertyValue for blocks nested deeper than kMaxDepth.
  std::string ToText() const;
  // Raises InvalidFileFormat, naming the line, for text it cannot read
  // (blocks nested deeper than kMaxDepth included).
  static PropertyStore FromText(std::string_view text);

 private:
  friend class PropertyTextReader;
  const Entry* Find(std::string_view name) const;
  void Set(std::string_view name, Variant value);
  void AppendText(std::string& out, std::size_t depth) const;

  std::string m_Name;
  std::vector<Entry> m_Entries;
  std::vector<PropertyStore> m_Blocks;
};

// ASCII case-insensitive equality of names.
bool SameName(std::string_view a, std::string_view b);
// Whether the text form can hold this name: not empty, and without blanks,
// quotes, '=', '{', '}' or '#'.
bool IsStorableName(std::string_view name);

// A value as it appears in the text form, and back. FormatValue raises
// nothing; ParseValue raises InvalidFileFormat.
std::string FormatValue(const Variant& value);
Variant ParseValue(std::string_view text);

}  // namespace borvane
