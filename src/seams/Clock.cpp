#include "Clock.h"

namespace vexor {
namespace {

class SteadyClock final : public IClock {
  public:
    SteadyTime Now() const override { return std::chrono::steady_clock::now(); }
    bool WaitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& changed,
                   SteadyTime deadline, const std::function<bool()>& done) const override {
        return changed.wait_until(lock, deadline, done);
    }
};

} // namespace

const IClock& SystemClock() {
    static const SteadyClock clock;
    return clock;
}

} // namespace vexor
