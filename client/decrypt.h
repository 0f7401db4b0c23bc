#pragma once
// The decoder of the time service's answer: a position-dependent character
// shift keyed by a small whole number derived from the key's text.

#include <string>

#include "container/variant.h"

namespace borvane {

// The fixed key the time query decodes with.
inline constexpr std::int32_t kDecoderKey = 53190427;

// The shift K a key's text form yields: floor((sum of codes × 0.1) ÷ 6) in
// IEEE double arithmetic, in exactly that order.
double DeriveShift(const std::string& key_text);

// Decodes `texti` (left unchanged) and replaces `salasana` by the derived
// shift K. Never fails: a step that cannot be done is skipped, so a
// character whose computed code is not a character adds nothing, and the
// positions after it keep their phases.
std::string DeCrypt(Variant& texti, Variant& salasana);

}  // namespace borvane
