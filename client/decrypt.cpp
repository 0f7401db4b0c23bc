#include "client/decrypt.h"

#include <cmath>
#include <cstdint>

#include "container/error.h"
#include "container/utf8.h"

namespace borvane {

double DeriveShift(const std::string& key_text) {
  double sum = 0;
  for (char32_t code : DecodeUtf8(key_text)) sum += static_cast<double>(code);
  // Multiply by the double nearest 0.1, then divide: the order is part of
  // the result (415 × 0.1 ÷ 6 is not 415 ÷ 60 in every last bit).
  return std::floor(sum * 0.1 / 6);
}

namespace {

// Net change of a character's code at each phase, before the shift K is
// applied with the sign that follows it. Phases 1, 3 and 5 subtract K,
// phases 2, 4 and 0 add it.
double DecodeCode(double a, double k, int phase) {
  switch (phase) {
    case 1: return (a - (k - 5)) - 1;
    case 2: return (a + (k - 4)) - 2;
    case 3: return (a - (k - 2)) - 3;
    case 4: return (a + (k - 3)) - 4;
    case 5: return (a - (k - 5)) - 5;
    default: return (a + (k - 2)) - 0;
  }
}

}  // namespace

std::string DeCrypt(Variant& texti, Variant& salasana) {
  // The key: a key without a text form counts as the empty text.
  std::string key_text;
  try {
    key_text = salasana.ToText();
  } catch (const Error&) {
  }
  const double k = DeriveShift(key_text);
  salasana = Variant(k);

  std::u32string codes;
  try {
    codes = DecodeUtf8(texti.ToText());
  } catch (const Error&) {
    return {};
  }

  std::string result;
  result.reserve(codes.size());
  int phase = 0;
  for (char32_t code : codes) {
    phase = phase == 6 ? 1 : phase + 1;
    const double value = DecodeCode(static_cast<double>(code), k, phase % 6);
    // Rejected codes (negative, beyond Unicode, surrogates) add nothing.
    if (value < 0 || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) continue;
    AppendUtf8(result, static_cast<char32_t>(value));
  }
  return result;
}

}  // namespace borvane
