#include "container/utf8.h"

namespace borvane {

namespace {

// Length of the well-formed sequence starting at `i`, or 0 when malformed.
std::size_t SequenceLength(std::string_view text, std::size_t i, char32_t& code) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(i);
  std::size_t length = 0;
  char32_t min = 0;
  if (lead < 0x80) {
    code = lead;
    return 1;
  } else if ((lead & 0xE0) == 0xC0) {
    length = 2, code = lead & 0x1F, min = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, code = lead & 0x0F, min = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, code = lead & 0x07, min = 0x10000;
  } else {
    return 0;
  }
  if (i + length > text.size()) return 0;
  for (std::size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
    code = (code << 6) | (byte(i + k) & 0x3F);
  }
  if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
  return length;
}

}  // namespace

std::u32string DecodeUtf8(std::string_view text) {
  std::u32string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    char32_t code = 0;
    const std::size_t length = SequenceLength(text, i, code);
    out.push_back(length == 0 ? U'\uFFFD' : code);
    i += length == 0 ? 1 : length;
  }
  return out;
}

void AppendUtf8(std::string& out, char32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

namespace {

// Byte offset of character `index`, or the text's size when it has fewer.
std::size_t OffsetOf(std::string_view text, std::size_t index) {
  std::size_t i = 0;
  for (std::size_t n = 0; n < index && i < text.size(); ++n) {
    char32_t code = 0;
    const std::size_t length = SequenceLength(text, i, code);
    i += length == 0 ? 1 : length;
  }
  return i;
}

}  // namespace

std::size_t Utf8Length(std::string_view text) {
  std::size_t n = 0;
  for (std::size_t i = 0; i < text.size(); ++n) {
    char32_t code = 0;
    const std::size_t length = SequenceLength(text, i, code);
    i += length == 0 ? 1 : length;
  }
  return n;
}

std::string Utf8Left(std::string_view text, std::size_t count) {
  return std::string(text.substr(0, OffsetOf(text, count)));
}

std::string Utf8Right(std::string_view text, std::size_t count) {
  const std::size_t length = Utf8Length(text);
  if (count >= length) return std::string(text);
  return std::string(text.substr(OffsetOf(text, length - count)));
}

std::string ValidUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char32_t code : DecodeUtf8(text)) AppendUtf8(out, code);
  return out;
}

std::string EscapeControls(std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out;
  out.reserve(text.size());
  for (char32_t code : DecodeUtf8(text)) {
    switch (code) {
      case U'\0': out += "\\0"; continue;
      case U'\n': out += "\\n"; continue;
      case U'\r': out += "\\r"; continue;
      case U'\t': out += "\\t"; continue;
      default: break;
    }
    if (code < 0x20 || code == 0x7F) {
      out += "\\x";
      out += kHex[code >> 4];
      out += kHex[code & 0xF];
    } else if (code >= 0x80 && code <= 0x9F) {
      // C1 controls: some terminals act on them even in UTF-8.
      out += "\\u00";
      out += kHex[code >> 4];
      out += kHex[code & 0xF];
    } else {
      AppendUtf8(out, code);
    }
  }
  return out;
}

}  // namespace borvane
