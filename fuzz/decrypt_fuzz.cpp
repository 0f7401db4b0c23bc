// The answer decoder on any text and any key. It must never fail, give at
// most one character per input character, leave the text alone, replace
// the key by the shift of the key's text form, and undo what the service
// encodes.

#include <fuzzer/FuzzedDataProvider.h>

#include <bit>
#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <string>

#include "client/decrypt.h"
#include "container/error.h"
#include "container/utf8.h"
#include "support/answers.h"

namespace {

using borvane::Variant;

void Require(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "decrypt_fuzz: %s\n", what);
    std::abort();
  }
}

// Well-formed UTF-8 decodes and encodes back to the same bytes; anything
// malformed comes back with U+FFFD in its place.
bool IsUtf8(const std::string& text) {
  std::string again;
  for (const char32_t code : borvane::DecodeUtf8(text)) borvane::AppendUtf8(again, code);
  return again == text;
}

// Equal type and value; doubles bit for bit, so NaN equals itself.
bool SameValue(const Variant& a, const Variant& b) {
  if (a.GetType() != b.GetType()) return false;
  if (a.GetType() != Variant::Type::Double) return a == b;
  return std::bit_cast<std::uint64_t>(a.ToDouble()) == std::bit_cast<std::uint64_t>(b.ToDouble());
}

Variant AnyValue(FuzzedDataProvider& data) {
  switch (data.ConsumeIntegralInRange(0, 5)) {
    case 0: return Variant();
    case 1: return Variant(data.ConsumeBool());
    case 2: return Variant(data.ConsumeIntegral<std::int16_t>());
    case 3: return Variant(data.ConsumeIntegral<std::int32_t>());
    case 4: return Variant(data.ConsumeFloatingPoint<double>());
    default: return Variant(data.ConsumeRandomLengthString(64));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  FuzzedDataProvider data(bytes, size);
  Variant key = AnyValue(data);
  const Variant key_given = key;
  Variant texti = AnyValue(data);
  const Variant texti_given = texti;

  const std::string result = borvane::DeCrypt(texti, key);

  std::string key_text;
  try {
    key_text = key_given.ToText();
  } catch (const borvane::Error&) {
  }
  const double shift = borvane::DeriveShift(key_text);
  Require(key.GetType() == Variant::Type::Double &&
              std::bit_cast<std::uint64_t>(key.ToDouble()) == std::bit_cast<std::uint64_t>(shift),
          "the key is not replaced by its shift");
  Require(SameValue(texti, texti_given), "the text was changed");
  Require(borvane::Utf8Length(result) <= borvane::Utf8Length(texti_given.ToText()),
          "more characters out than in");
  Require(IsUtf8(result), "the result is not UTF-8");

  // What the service sends decodes back under the fixed key, whenever the
  // encoding stays within ASCII (the only characters the service encodes).
  const std::string plain = data.ConsumeRemainingBytesAsString();
  const std::string encoded = borvane::testing::EncodeForDecoder(plain);
  bool ascii = true;
  for (const char c : plain + encoded) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
  if (ascii) {
    Variant encoded_text(encoded);
    Variant fixed_key(borvane::kDecoderKey);
    Require(borvane::DeCrypt(encoded_text, fixed_key) == plain, "an encoded text does not decode back");
  }
  return 0;
}
