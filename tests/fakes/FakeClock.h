#pragma once

#include "seams/Clock.h"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <list>
#include <mutex>

namespace vexor::fakes {

// A clock that moves only when the test (or a fake socket) moves it. Safe to
// use from several threads; moving it wakes every thread waiting on it.
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
        WakeWaiters();
    }
    // Moves to `when`; never backwards.
    void AdvanceTo(SteadyTime when) {
        const std::lock_guard lock(mutex_);
        if (when > now_) {
            now_ = when;
            WakeWaiters();
        }
    }
    bool WaitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& changed,
                   SteadyTime deadline, const std::function<bool()>& done) const override {
        std::list<Waiter>::iterator self;
        {
            const std::lock_guard own(mutex_);
            self = waiters_.insert(waiters_.end(), Waiter{&changed, false, now_});
        }
        bool result = true;
        while (!done()) {
            bool expired = false;
            {
                const std::lock_guard own(mutex_);
                expired = now_ >= deadline;
                self->parked = !expired;
                self->seen = now_;
            }
            moved_.notify_all();
            if (expired) {
                result = done();
                break;
            }
            // A move between the look above and this wait would be missed:
            // look again every real millisecond as well.
            changed.wait_for(lock, std::chrono::milliseconds(1));
        }
        {
            const std::lock_guard own(mutex_);
            waiters_.erase(self);
        }
        moved_.notify_all();
        return result;
    }

    // Blocks the calling thread until the clock reaches `when`.
    void SleepUntil(SteadyTime when) const {
        std::mutex mutex;
        std::condition_variable never;
        std::unique_lock lock(mutex);
        WaitUntil(lock, never, when, [] { return false; });
    }

    // Blocks until at least `count` threads wait on this clock, each having
    // seen its present time, or until `stop()` holds. False only when neither
    // happens within `bound` of real time: the code under test hangs.
    bool AwaitWaiters(std::size_t count, const std::function<bool()>& stop = {},
                      std::chrono::milliseconds bound = std::chrono::seconds(60)) const {
        // The only real time read here: a guard against a hang, never a measure.
        const auto giveUp = std::chrono::steady_clock::now() + bound;
        std::unique_lock lock(mutex_);
        for (;;) {
            std::size_t parked = 0;
            for (const Waiter& waiter : waiters_) {
                parked += waiter.parked && waiter.seen == now_ ? 1 : 0;
            }
            if (parked >= count) {
                return true;
            }
            lock.unlock();
            const bool stopped = stop && stop();
            lock.lock();
            if (stopped) {
                return true;
            }
            // `stop` is told by nothing: look again every real millisecond.
            if (moved_.wait_for(lock, std::chrono::milliseconds(1)) == std::cv_status::timeout &&
                std::chrono::steady_clock::now() >= giveUp) {
                return false;
            }
        }
    }

  private:
    struct Waiter {
        std::condition_variable* changed;
        bool parked;
        SteadyTime seen;
    };

    // Called with mutex_ held; a waiter is in the list only while inside
    // WaitUntil, so its condition variable is alive.
    void WakeWaiters() {
        for (Waiter& waiter : waiters_) {
            waiter.changed->notify_all();
        }
    }

    mutable std::mutex mutex_;
    mutable std::condition_variable moved_;
    mutable std::list<Waiter> waiters_;
    SteadyTime now_;
};

} // namespace vexor::fakes
