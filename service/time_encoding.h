#pragma once
// The service side of the time answer: Beijing time as the 23-character
// text the client reads, and the position-dependent shift that hides it.
// EncodeTime is the exact inverse of the client's decoder, so decoding an
// encoded text with the decoder key gives the text back.

#include <chrono>
#include <string>
#include <string_view>

namespace borvane {

// The shift the decoder derives from its fixed key.
inline constexpr int kEncoderShift = 6;

// Encodes UTF-8 `plain` for a decoder with shift `shift`. Position j of the
// text (counted from 1) uses phase j mod 6; each phase moves the character
// code by the opposite of what the decoder adds. Throws std::invalid_argument
// when a character would move to a code that is not a character (below 0,
// a surrogate, or past U+10FFFF), since no encoding of it would decode back.
std::string EncodeTime(std::string_view plain, int shift = kEncoderShift);

// "YYYY-MM-DD hh:mm:ss.mmm" (23 characters) for the instant in GMT+8, with
// milliseconds truncated towards the past. Calendar arithmetic only: no
// time-zone database and no process time zone are consulted.
std::string FormatBeijingTime(std::chrono::system_clock::time_point time);

// The HTTP-date of the instant (RFC 7231 IMF-fixdate, always GMT), for
// example "Sun, 06 Nov 1994 08:49:37 GMT".
std::string FormatHttpDate(std::chrono::system_clock::time_point time);

}  // namespace borvane
