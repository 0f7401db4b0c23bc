// The text form of a property store: formatting and reading values and
// whole stores. Layout and value syntax are described in property_store.h.

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <vector>

#include "container/error.h"
#include "container/property_store.h"

namespace borvane {

namespace {

[[noreturn]] void RaiseFormat(const std::string& what) {
  throw Error(ErrorCode::InvalidFileFormat, "invalid file format: " + what);
}

std::string_view Trim(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

// Shortest text that reads back as exactly the same double, subnormals
// included.
std::string FormatDouble(double value) {
  if (std::isnan(value)) return "nan";
  if (std::isinf(value)) return value > 0 ? "inf" : "-inf";
  char buffer[40];
  const auto written = std::to_chars(buffer, buffer + sizeof buffer, value);
  std::string text(buffer, written.ptr);
  if (text.find_first_of(".e") == std::string::npos) text += ".0";
  return text;
}

std::string Quote(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
          char hex[5];
          std::snprintf(hex, sizeof hex, "\\x%02X", static_cast<unsigned>(c));
          out += hex;
        } else {
          out += c;  // UTF-8 stays as it is, so Chinese captions stay readable
        }
    }
  }
  return out + "\"";
}

// Reads a quoted text starting at text[pos] == '"'; leaves pos after the
// closing quote.
std::string ReadQuoted(std::string_view text, std::size_t& pos) {
  std::string out;
  ++pos;
  while (pos < text.size()) {
    const char c = text[pos++];
    if (c == '"') return out;
    if (c != '\\') {
      out += c;
      continue;
    }
    if (pos >= text.size()) break;
    const char e = text[pos++];
    switch (e) {
      case '"': out += '"'; break;
      case '\\': out += '\\'; break;
      case 'n': out += '\n'; break;
      case 'r': out += '\r'; break;
      case 't': out += '\t'; break;
      case 'x': {
        if (pos + 2 > text.size()) RaiseFormat("short \\x escape");
        const std::string hex(text.substr(pos, 2));
        char* end = nullptr;
        const long code = std::strtol(hex.c_str(), &end, 16);
        if (end != hex.c_str() + 2) RaiseFormat("bad \\x escape");
        out += static_cast<char>(code);
        pos += 2;
        break;
      }
      default:
        RaiseFormat(std::string("unknown escape \\") + e);
    }
  }
  RaiseFormat("text without its closing quote");
}

double ReadDouble(std::string_view text) {
  if (text == "inf") return std::numeric_limits<double>::infinity();
  if (text == "-inf") return -std::numeric_limits<double>::infinity();
  if (text == "nan") return std::numeric_limits<double>::quiet_NaN();
  // from_chars reads exactly (subnormals too, which strtod flags as a range
  // error) but takes no '+' sign; hand-written data may carry one.
  std::string_view digits = text;
  if (digits.starts_with('+') && digits.size() > 1 && digits[1] != '-') digits.remove_prefix(1);
  double value = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (digits.empty() || error != std::errc() || end != digits.data() + digits.size() ||
      !std::isfinite(value) || digits.find_first_not_of("+-0123456789.eE") != std::string_view::npos) {
    RaiseFormat("\"" + std::string(text) + "\" is not a number");
  }
  return value;
}

long long ReadWhole(std::string_view text, long long low, long long high) {
  const std::string s(text);
  char* end = nullptr;
  errno = 0;
  const long long value = std::strtoll(s.c_str(), &end, 10);
  if (s.empty() || end != s.c_str() + s.size() || errno == ERANGE || value < low ||
      value > high || s.find_first_not_of("+-0123456789") != std::string::npos) {
    RaiseFormat("\"" + s + "\" is not a whole number in range");
  }
  return value;
}

// Font("name", size[, Bold][, Italic][, Underline][, Strikethrough])
Variant ReadFont(std::string_view text) {
  std::size_t pos = 5;  // after "Font("
  const auto skip = [&] {
    while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t')) ++pos;
  };
  skip();
  if (pos >= text.size() || text[pos] != '"') RaiseFormat("a font needs a quoted name");
  auto font = std::make_shared<Font>();
  font->Name = ReadQuoted(text, pos);
  std::vector<std::string_view> rest;
  std::size_t start = pos;
  skip();
  if (pos >= text.size() || text[pos] != ',') RaiseFormat("a font needs a size");
  ++pos;
  start = pos;
  const std::size_t close = text.rfind(')');
  if (close == std::string_view::npos || close < start || !Trim(text.substr(close + 1)).empty()) {
    RaiseFormat("a font ends with ')'");
  }
  const std::string_view args = text.substr(start, close - start);
  std::size_t from = 0;
  for (;;) {
    const std::size_t comma = args.find(',', from);
    rest.push_back(Trim(args.substr(from, comma == std::string_view::npos ? comma : comma - from)));
    if (comma == std::string_view::npos) break;
    from = comma + 1;
  }
  font->Size = ReadDouble(rest[0]);
  for (std::size_t i = 1; i < rest.size(); ++i) {
    if (rest[i] == "Bold") font->Bold = true;
    else if (rest[i] == "Italic") font->Italic = true;
    else if (rest[i] == "Underline") font->Underline = true;
    else if (rest[i] == "Strikethrough") font->Strikethrough = true;
    else RaiseFormat("unknown font attribute \"" + std::string(rest[i]) + "\"");
  }
  FontRef stored(std::move(font));
  CheckFontSize(stored);
  return Variant(std::move(stored));
}

}  // namespace

std::string FormatValue(const Variant& value) {
  switch (value.GetType()) {
    case Variant::Type::Empty: return "Empty";
    case Variant::Type::Boolean: return value.ToBool() ? "True" : "False";
    case Variant::Type::Integer: return std::to_string(value.ToInt16()) + "%";
    case Variant::Type::Long: return std::to_string(value.ToInt32());
    case Variant::Type::Double: return FormatDouble(value.ToDouble());
    case Variant::Type::String: return Quote(value.ToText());
    case Variant::Type::Font: {
      const FontRef font = value.FontOrNothing();
      if (!font) return "Nothing";
      CheckFontSize(font);  // never write a font the reader refuses
      std::string out = "Font(" + Quote(font->Name) + ", " + FormatDouble(font->Size);
      if (font->Bold) out += ", Bold";
      if (font->Italic) out += ", Italic";
      if (font->Underline) out += ", Underline";
      if (font->Strikethrough) out += ", Strikethrough";
      return out + ")";
    }
  }
  return "Empty";
}

Variant ParseValue(std::string_view raw) {
  const std::string_view text = Trim(raw);
  if (text.empty()) RaiseFormat("a setting without a value");
  if (text == "Empty") return Variant();
  if (text == "Nothing") return Variant(FontRef{});
  if (text == "True") return Variant(true);
  if (text == "False") return Variant(false);
  if (text.front() == '"') {
    std::size_t pos = 0;
    std::string value = ReadQuoted(text, pos);
    if (pos != text.size()) RaiseFormat("text after the closing quote");
    return Variant(std::move(value));
  }
  if (text.starts_with("Font(")) return ReadFont(text);
  if (text.back() == '%') {
    return Variant(static_cast<std::int16_t>(ReadWhole(text.substr(0, text.size() - 1), -32768, 32767)));
  }
  if (text.find_first_of(".eEin") != std::string_view::npos) return Variant(ReadDouble(text));
  return Variant(static_cast<std::int32_t>(ReadWhole(text, -2147483648LL, 2147483647LL)));
}

class PropertyTextReader {
 public:
  static PropertyStore Read(std::string_view text) {
    PropertyStore root;
    std::vector<PropertyStore*> open{&root};
    std::size_t line_number = 0;
    while (!text.empty()) {
      const std::size_t end = text.find('\n');
      const std::string_view line = Trim(text.substr(0, end));
      text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
      ++line_number;
      try {
        ReadLine(line, open);
      } catch (const Error& error) {
        // A value that reads but is out of range (a font size) keeps its
        // own code; everything else is a damaged file.
        const ErrorCode code = error.Code() == ErrorCode::InvalidPropertyValue
                                   ? ErrorCode::InvalidPropertyValue
                                   : ErrorCode::InvalidFileFormat;
        throw Error(code, "line " + std::to_string(line_number) + ": " + error.what());
      }
    }
    if (open.size() != 1) {
      throw Error(ErrorCode::InvalidFileFormat,
                  "invalid file format: block \"" + open.back()->Name() + "\" is not closed");
    }
    return root;
  }

 private:
  static void ReadLine(std::string_view line, std::vector<PropertyStore*>& open) {
    if (line.empty() || line.front() == '#') return;
    if (line == "}") {
      if (open.size() == 1) RaiseFormat("'}' without a block");
      open.pop_back();
      return;
    }
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) {
      if (line.back() != '{') RaiseFormat("expected \"name = value\" or \"name {\"");
      const std::string_view name = Trim(line.substr(0, line.size() - 1));
      if (!IsStorableName(name)) RaiseFormat("\"" + std::string(name) + "\" cannot name a block");
      if (open.size() > PropertyStore::kMaxDepth) {
        RaiseFormat("blocks nested deeper than " + std::to_string(PropertyStore::kMaxDepth));
      }
      open.push_back(&open.back()->Block(name));
      return;
    }
    const std::string_view name = Trim(line.substr(0, equals));
    Variant value = ParseValue(line.substr(equals + 1));
    if (!IsStorableName(name)) RaiseFormat("\"" + std::string(name) + "\" cannot name a setting");
    // Defaults are not known here, so every entry read is kept.
    open.back()->Set(name, std::move(value));
  }
};

PropertyStore PropertyStore::FromText(std::string_view text) {
  return PropertyTextReader::Read(text);
}

}  // namespace borvane
