#pragma once

#include "seams/Sockets.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vexor {

// Dotted text of an address's bytes in memory order: C0 A8 00 01 is 192.168.0.1.
// As many numbers as bytes; a length below 1 gives the empty text.
std::string BytesToIPAddress(const unsigned char* bytes, int length);

// True for four or more dot-separated parts, each plain decimal digits with a
// value of 0 to 255 (leading zeros allowed).
bool IsIPAddress(std::string_view text);

// The address value whose memory bytes are the dotted numbers in order; 0 on a
// part that is not decimal digits, an overflow, or the empty text.
std::int32_t IPAddressToLong(std::string_view text);

// The text before its first NUL character.
std::string TrimAtNull(std::string_view text);

// Dotted text of every entry of a host record's address list, in list order.
std::vector<std::string> HostAddresses(const HostEnt& record);

// Dotted text of the first entry of a host record's address list, or empty.
std::string FirstHostAddress(const HostEnt& record);

} // namespace vexor
