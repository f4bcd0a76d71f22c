#pragma once

#include "AsciiText.h"

#include <string>
#include <string_view>

namespace vexor {

// The form under which two names of one machine compare equal: ASCII letters in
// lower case, a trailing dot and a trailing ".local" removed. Discovery sources
// spell the same machine "ALFA", "alfa" and "alfa.local".
std::string MachineKey(std::string_view name);

// True when `name` ends in ".local" (any case, an optional trailing dot).
bool IsLocalDomainName(std::string_view name);
// `name` without a trailing ".local" (any case, an optional trailing dot) and
// the blanks before it; as it is when it is not such a name.
std::string_view WithoutLocalDomain(std::string_view name);

} // namespace vexor
