#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace vexor {

// Appends the code point `c` to `text` in UTF-8.
void AppendUtf8(std::string& text, char32_t c);

// The code point starting at `text[i]`, moving `i` past it. Nothing for a
// sequence that is not UTF-8 (a stray or truncated sequence, an overlong form, a
// surrogate), moving `i` past its first byte only.
std::optional<char32_t> NextFromUtf8(std::string_view text, std::size_t& i);

} // namespace vexor
