#include "StaleInput.h"

namespace vexor {
namespace {

// Whether `a` comes before `b` on a clock that wraps.
bool Before(std::uint32_t a, std::uint32_t b) {
    return static_cast<std::int32_t>(a - b) < 0;
}

} // namespace

bool StaleInput::Stale(std::uint32_t stamp, std::uint32_t now) {
    const std::uint32_t seen = now - stamp;
    if (!offset_ || Before(seen, *offset_)) {
        offset_ = seen;
    }
    return endedAt_ && Before(stamp, *endedAt_ - *offset_);
}

} // namespace vexor
