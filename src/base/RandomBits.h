#pragma once

#include <cstdint>

namespace vexor {

// Unpredictable bits for what the network must not guess (query ids, message
// ids, digest keys) and for names that must not collide (temporary files):
// one generator per thread, seeded from the system's entropy source.
std::uint64_t RandomBits();

// A value from `low` to `high`, both included, drawn from RandomBits.
std::uint64_t RandomBetween(std::uint64_t low, std::uint64_t high);

} // namespace vexor
