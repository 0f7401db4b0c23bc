#include "container/utf8.h"

#include <gtest/gtest.h>

namespace borvane {
namespace {

TEST(Utf8, EachByteOfAMalformedSequenceDecodesToOneReplacement) {
  constexpr char32_t kBad = U'\uFFFD';
  struct Row {
    std::string_view Text;
    std::u32string Codes;
  };
  const Row rows[] = {
      {"a\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80", {U'a', 0xE9, 0x4E2D, 0x1F600}},
      {"\xC0\xAF", {kBad, kBad}},               // "/" in two bytes
      {"\xE0\x80\x80", {kBad, kBad, kBad}},     // NUL in three
      {"\xED\xA0\x80", {kBad, kBad, kBad}},     // a surrogate
      {"\xF4\x90\x80\x80", {kBad, kBad, kBad, kBad}},  // past U+10FFFF
      {"\xE4\xB8", {kBad, kBad}},               // cut short
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(::testing::PrintToString(std::string(row.Text)));
    EXPECT_EQ(DecodeUtf8(row.Text), row.Codes);
    EXPECT_EQ(Utf8Length(row.Text), row.Codes.size());
  }
}

TEST(Utf8, EveryControlCharacterIsWrittenVisibly) {
  EXPECT_EQ(EscapeControls(std::string_view("a\0\n\r\t\x1b[2J\x7f\xc2\x9b\xc2\xa0\xff", 15)),
            "a\\0\\n\\r\\t\\x1b[2J\\x7f\\u009b\u00a0\uFFFD");
}

}  // namespace
}  // namespace borvane
