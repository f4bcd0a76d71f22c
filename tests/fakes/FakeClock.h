#pragma once

#include "seams/Clock.h"

#include <chrono>
#include <mutex>

namespace vexor::fakes {

// A clock that moves only when the test (or a fake socket) moves it. Safe to
// use from several threads; a waiter sees the time move within a millisecond.
class FakeClock final : public IClock {
  public:
    // Starts at an arbitrary point far from the epoch, so that "start + offset"
    // arithmetic in the code under test never meets time_point::min().
    FakeClock() : now_(SteadyTime{} + std::chrono::hours(1000)) {}

    SteadyTime Now() const override {
        const std::lock_guard lock(mutex_);
        return now_;
    }
    void Advance(std::chrono::nanoseconds by) {
        const std::lock_guard lock(mutex_);
        now_ += by;
    }
    // Moves to `when`; never backwards.
    void AdvanceTo(SteadyTime when) {
        const std::lock_guard lock(mutex_);
        if (when > now_) {
            now_ = when;
        }
    }
    bool WaitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& changed,
                   SteadyTime deadline, const std::function<bool()>& done) const override {
        // The deadline is on this clock, which other threads move: look again
        // at each notification and every real millisecond.
        while (!done()) {
            if (Now() >= deadline) {
                return done();
            }
            changed.wait_for(lock, std::chrono::milliseconds(1));
        }
        return true;
    }

  private:
    mutable std::mutex mutex_;
    SteadyTime now_;
};

} // namespace vexor::fakes
