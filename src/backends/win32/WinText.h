#pragma once

#include <string>
#include <string_view>

namespace vexor::win32 {

// Conversions at the edge of the Windows API: the core's texts are UTF-8, user32
// takes UTF-16, and Winsock, WNet and the report file take the ANSI code page.
std::wstring Utf8ToWide(std::string_view text);
std::string WideToUtf8(std::wstring_view text);
// Characters the ANSI code page cannot hold become '?', never a look-alike.
std::string Utf8ToAnsi(std::string_view text);
std::wstring AnsiToWide(std::string_view text);
std::string AnsiToUtf8(std::string_view text);

} // namespace vexor::win32
