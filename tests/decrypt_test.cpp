#include "client/decrypt.h"

#include <gtest/gtest.h>

#include "container/utf8.h"

namespace borvane {
namespace {

// Encodes by inverting each phase's net change, so tests can state the
// plain text they expect back.
std::string Encode(const std::string& plain, int k) {
  static constexpr int kNet[6] = {-2, 4, -6, -1, -7, 0};  // phase 0..5, sign of K separate
  static constexpr int kSign[6] = {1, -1, 1, -1, 1, -1};
  std::string out;
  for (std::size_t j = 1; j <= plain.size(); ++j) {
    const int p = static_cast<int>(j % 6);
    out += static_cast<char>(plain[j - 1] - kNet[p] - kSign[p] * k);
  }
  return out;
}

TEST(DeCrypt, ShiftOfTheFixedKeyIsSixAndReplacesTheKey) {
  Variant text(std::string{});
  Variant key(kDecoderKey);
  EXPECT_EQ(DeCrypt(text, key), "");
  EXPECT_EQ(key.GetType(), Variant::Type::Double);
  EXPECT_EQ(key.ToText(), "6");
}

TEST(DeCrypt, EmptyKeyGivesShiftZero) {
  Variant text("A");
  Variant key("");
  DeCrypt(text, key);
  EXPECT_EQ(key.ToText(), "0");
}

TEST(DeCrypt, DecodesEachPhaseByItsOwnRule) {
  // Phase 1: A - K + 4; 2: A + K - 6; 3: A - K - 1; 4: A + K - 7; 5: A - K; 0: A + K - 2.
  Variant text("aaaaaaa");
  Variant key(kDecoderKey);  // K = 6
  const std::string out = DeCrypt(text, key);
  const std::string expected = {'a' - 2, 'a', 'a' - 7, 'a' - 1, 'a' - 6, 'a' + 4, 'a' - 2};
  EXPECT_EQ(out, expected);
  EXPECT_EQ(text.ToText(), "aaaaaaa");
}

TEST(DeCrypt, RestoresAnEncodedServiceTime) {
  const std::string plain = "2005-04-27 15:32:08.007";
  Variant text(Encode(plain, 6));
  Variant key(kDecoderKey);
  EXPECT_EQ(DeCrypt(text, key), plain);
}

TEST(DeCrypt, SecondCallWithTheSameKeyVariableUsesTheDerivedShift) {
  Variant text(Encode("12:00", 6));
  Variant key(kDecoderKey);
  DeCrypt(text, key);  // key is now 6: its text "6" has code 54, so K = floor(5.4 / 6) = 0
  Variant again(Encode("12:00", 0));
  EXPECT_EQ(DeCrypt(again, key), "12:00");
  EXPECT_EQ(key.ToText(), "0");
}

TEST(DeCrypt, RejectedCodesAreSkippedAndLaterPositionsKeepTheirPhase) {
  // Position 1 (phase 1, A - K + 4) with code 1 and K = 6 gives -1: rejected.
  std::string encoded = Encode("xabcdef", 6);
  encoded[0] = '\x01';
  Variant text(encoded);
  Variant key(kDecoderKey);
  EXPECT_EQ(DeCrypt(text, key), "abcdef");
}

TEST(DeCrypt, CodesThatLandOnSurrogatesOrBeyondUnicodeAreSkipped) {
  // K = 6, so phases 1 to 5 and 0 change a code by -2, 0, -7, -1, -6, +4.
  // U+E001, U+E000 and U+D7FC land on surrogates, U+10FFFF past Unicode.
  const std::u32string codes = {0xE001, U'b', U'j', 0xE000, U'k', 0x10FFFF,
                                U'i',   U'h', U'p', U'k',   U'q', 0xD7FC};
  std::string encoded;
  for (const char32_t code : codes) AppendUtf8(encoded, code);
  Variant text(encoded);
  Variant key(kDecoderKey);
  EXPECT_EQ(DeCrypt(text, key), "bceghijk");
}

TEST(DeCrypt, AKeyWithoutTextFormCountsAsEmptyAndTextWithoutOneDecodesToNothing) {
  Variant text(MakeFont("Arial", 9));
  Variant key(MakeFont("Arial", 9));
  EXPECT_EQ(DeCrypt(text, key), "");
  EXPECT_EQ(key.ToText(), "0");
}

}  // namespace
}  // namespace borvane
