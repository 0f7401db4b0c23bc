#pragma once
// UTF-8 to code points and back. Texts are UTF-8 throughout the library;
// a malformed byte decodes as U+FFFD, one character per byte.

#include <string>
#include <string_view>

namespace borvane {

std::u32string DecodeUtf8(std::string_view text);
void AppendUtf8(std::string& out, char32_t code);

// Number of characters (code points) in a UTF-8 text.
std::size_t Utf8Length(std::string_view text);

// The first `count` characters, and the last `count` characters, of a UTF-8
// text (all of it when it is shorter).
std::string Utf8Left(std::string_view text, std::size_t count);
std::string Utf8Right(std::string_view text, std::size_t count);

}  // namespace borvane
