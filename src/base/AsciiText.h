#pragma once

#include <string>
#include <string_view>

namespace vexor {

// ASCII letters in lower case; every other byte as it is. Network names and
// protocol words compare this way whatever the locale.
char AsciiLower(char c);
std::string AsciiLower(std::string_view text);

// True when `a` and `b` differ at most in the case of ASCII letters.
bool EqualsIgnoringCase(std::string_view a, std::string_view b);
// True when `part` is in `text`, ASCII letters compared in either case.
bool ContainsIgnoringCase(std::string_view text, std::string_view part);

// The blanks XML text, configuration lines and protocol fields are padded with.
inline constexpr std::string_view kBlanks = " \t\r\n";

// `text` without the `blanks` at either end.
std::string_view TrimBlanks(std::string_view text, std::string_view blanks = kBlanks);

} // namespace vexor
