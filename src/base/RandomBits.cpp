#include "RandomBits.h"

#include <random>

namespace vexor {
namespace {

std::mt19937_64& Generator() {
    thread_local std::mt19937_64 generator{[] {
        std::random_device entropy;
        // Seeded with 64 bits from two entropy draws, as a single draw yields only 32.
        return (std::uint64_t{entropy()} << 32) ^ entropy();
    }()};
    return generator;
}

} // namespace

std::uint64_t RandomBits() {
    return Generator()();
}

std::uint64_t RandomBetween(std::uint64_t low, std::uint64_t high) {
    return std::uniform_int_distribution<std::uint64_t>(low, high)(Generator());
}

} // namespace vexor
