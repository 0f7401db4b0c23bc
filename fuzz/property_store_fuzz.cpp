// The property store's text form, both ways. Any text either reads or is
// refused with InvalidFileFormat; a store read from text, or built by
// writing any values, is written out, and that text reads back to the
// same store: the same names, blocks and values, doubles bit for bit.

#include <fuzzer/FuzzedDataProvider.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "container/error.h"
#include "container/font.h"
#include "container/property_store.h"

namespace {

using borvane::PropertyStore;
using borvane::Variant;

void Require(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "property_store_fuzz: %s\n", what);
    std::abort();
  }
}

// Text the store refuses must be refused as a file format error.
template <typename Run>
bool Refused(Run run) {
  try {
    run();
    return false;
  } catch (const borvane::Error& error) {
    Require(error.Code() == borvane::ErrorCode::InvalidFileFormat ||
                error.Code() == borvane::ErrorCode::InvalidPropertyValue,
            "refused with an unexpected error");
    return true;
  }
}

bool SameDouble(double a, double b) {
  // Any NaN stands for any other: the text form keeps no payload.
  return (std::isnan(a) && std::isnan(b)) || std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

// Same type and same value: doubles bit for bit, fonts by every attribute.
bool SameValue(const Variant& a, const Variant& b) {
  if (a.GetType() != b.GetType()) return false;
  switch (a.GetType()) {
    case Variant::Type::Double:
      return SameDouble(a.ToDouble(), b.ToDouble());
    case Variant::Type::Font: {
      const borvane::FontRef x = a.FontOrNothing();
      const borvane::FontRef y = b.FontOrNothing();
      if (!x || !y) return !x && !y;
      return x->Name == y->Name && SameDouble(x->Size, y->Size) && x->Bold == y->Bold &&
             x->Italic == y->Italic && x->Underline == y->Underline &&
             x->Strikethrough == y->Strikethrough;
    }
    default:
      return a == b;
  }
}

bool SameStore(const PropertyStore& a, const PropertyStore& b) {
  if (a.Name() != b.Name() || a.Entries().size() != b.Entries().size() ||
      a.Blocks().size() != b.Blocks().size()) {
    return false;
  }
  for (std::size_t i = 0; i < a.Entries().size(); ++i) {
    if (a.Entries()[i].Name != b.Entries()[i].Name ||
        !SameValue(a.Entries()[i].Value, b.Entries()[i].Value)) {
      return false;
    }
  }
  for (std::size_t i = 0; i < a.Blocks().size(); ++i) {
    if (!SameStore(a.Blocks()[i], b.Blocks()[i])) return false;
  }
  return true;
}

// What the store wrote must read back to what it was.
void RequireRoundTrip(const PropertyStore& store) {
  std::string text;
  // A store may refuse to write (a bound on its nesting, say), but never
  // write what it cannot read.
  if (Refused([&] { text = store.ToText(); })) return;
  PropertyStore again;
  try {
    again = PropertyStore::FromText(text);
  } catch (const borvane::Error& error) {
    std::fprintf(stderr, "property_store_fuzz: cannot read back what was written (%s):\n%s\n",
                 error.what(), text.c_str());
    std::abort();
  }
  Require(SameStore(again, store), "what was read back differs from what was written");
}

double AnyDouble(FuzzedDataProvider& data) {
  // Every bit pattern: subnormals, negative zero, infinities, NaNs.
  return std::bit_cast<double>(data.ConsumeIntegral<std::uint64_t>());
}

Variant AnyValue(FuzzedDataProvider& data) {
  switch (data.ConsumeIntegralInRange(0, 7)) {
    case 0: return Variant();
    case 1: return Variant(data.ConsumeBool());
    case 2: return Variant(data.ConsumeIntegral<std::int16_t>());
    case 3: return Variant(data.ConsumeIntegral<std::int32_t>());
    case 4: return Variant(AnyDouble(data));
    case 5: return Variant(borvane::FontRef{});
    case 6: {
      auto font = std::make_shared<borvane::Font>();
      font->Name = data.ConsumeRandomLengthString(32);
      font->Size = AnyDouble(data);
      font->Bold = data.ConsumeBool();
      font->Italic = data.ConsumeBool();
      font->Underline = data.ConsumeBool();
      font->Strikethrough = data.ConsumeBool();
      return Variant(borvane::FontRef(std::move(font)));
    }
    default: return Variant(data.ConsumeRandomLengthString(64));
  }
}

// A store built through its writing interface from a script of steps:
// write a value, open a block, close one.
void BuildAndRoundTrip(FuzzedDataProvider& data) {
  PropertyStore root;
  std::vector<std::string> path;  // names of the open blocks
  const auto open_block = [&]() -> PropertyStore& {
    PropertyStore* block = &root;
    for (const std::string& name : path) block = &block->Block(name);
    return *block;
  };
  while (data.remaining_bytes() > 0) {
    switch (data.ConsumeIntegralInRange(0, 3)) {
      case 0:
        if (!path.empty()) path.pop_back();
        break;
      case 1: {
        std::string name = data.ConsumeRandomLengthString(16);
        if (!Refused([&] { open_block().Block(name); })) path.push_back(std::move(name));
        break;
      }
      default: {
        const std::string name = data.ConsumeRandomLengthString(16);
        const Variant value = AnyValue(data);
        const Variant default_value = AnyValue(data);
        Refused([&] { open_block().Write(name, value, default_value); });
      }
    }
  }
  RequireRoundTrip(root);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  FuzzedDataProvider data(bytes, size);
  if (data.ConsumeBool()) {
    BuildAndRoundTrip(data);
    return 0;
  }
  PropertyStore store;
  if (Refused([&] { store = PropertyStore::FromText(data.ConsumeRemainingBytesAsString()); })) return 0;
  RequireRoundTrip(store);
  return 0;
}
