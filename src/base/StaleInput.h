#pragma once

#include <cstdint>
#include <optional>

namespace vexor {

// Tells a key press or a click that waited in the queue while a handler kept
// the window busy (F5 pressed again during a refresh) from one made after the
// handler ended. The window system stamps input on a clock of its own, in
// milliseconds that wrap at 2^32; the difference to the program's clock is
// learnt from the input itself, its smallest value taken as the true one.
class StaleInput {
  public:
    // Whether input stamped `stamp` and seen at `now` was made before the last
    // handler ended.
    bool Stale(std::uint32_t stamp, std::uint32_t now);
    // A handler has just returned, at `now`.
    void HandlerEnded(std::uint32_t now) { endedAt_ = now; }

  private:
    std::optional<std::uint32_t> offset_;
    std::optional<std::uint32_t> endedAt_;
};

} // namespace vexor
