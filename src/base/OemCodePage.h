#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vexor {

// A single-byte OEM code page, in which NetBIOS carries names (Windows sends
// them in the system's OEM code page; Samba in its "dos charset", CP850 by
// default).
class IOemCodePage {
  public:
    virtual ~IOemCodePage() = default;
    // `utf8` in the code page; nothing when a character has no byte there or
    // `utf8` is not UTF-8.
    virtual std::optional<std::string> FromUtf8(std::string_view utf8) const = 0;
    // `oem` in UTF-8; every byte has a character.
    virtual std::string ToUtf8(std::string_view oem) const = 0;
};

// Code page 850 (Multilingual Latin 1), written out here so that every build
// has it.
const IOemCodePage& Cp850();

// The OEM code page NetBIOS names are spoken in on this system: CP850 on
// Linux, the code page GetOEMCP names on Windows. Each backend defines it.
const IOemCodePage& NetbiosCodePage();

} // namespace vexor
