#pragma once

#include "seams/Ipv4.h"

#include <string>
#include <string_view>

namespace vexor {

// ASCII letters in lower case; every other byte as it is. Network names compare
// this way whatever the locale.
char AsciiLower(char c);
std::string AsciiLower(std::string_view text);

// The form under which two names of one machine compare equal: ASCII letters in
// lower case, a trailing dot and a trailing ".local" removed. Discovery sources
// spell the same machine "ALFA", "alfa" and "alfa.local".
std::string MachineKey(std::string_view name);

// True when `name` ends in ".local" (any case, an optional trailing dot).
bool IsLocalDomainName(std::string_view name);

} // namespace vexor
