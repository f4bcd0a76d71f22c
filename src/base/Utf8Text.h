#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace vexor {

// Number of characters (code points) in a UTF-8 text.
std::size_t Utf8Length(std::string_view text);

// Upper case of the ASCII and Latin-1 letters of a UTF-8 text; every other
// character is kept as it is.
std::string Utf8ToUpper(std::string_view text);

} // namespace vexor
