#pragma once

#include <array>
#include <cstdint>

namespace vexor {

// An IPv4 address as its four bytes in network order.
using Ipv4 = std::array<std::uint8_t, 4>;

} // namespace vexor
