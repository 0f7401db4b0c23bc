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

// The text with each malformed byte replaced by U+FFFD, so a label, a text
// engine or a JSON writer is only ever given well-formed UTF-8.
std::string ValidUtf8(std::string_view text);

// Text from outside (a service's answer, an error message quoting it) made
// safe for a terminal: malformed bytes become U+FFFD, and every control
// character (C0 including NUL and newline, DEL, and C1) is written as a
// visible escape (\n, \t, \r, \0, else \xHH or \u00HH), so the text cannot
// move the cursor, retitle or clear the terminal, or start a line of its own.
std::string EscapeControls(std::string_view text);

}  // namespace borvane
