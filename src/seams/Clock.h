#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>

namespace vexor {

using SteadyTime = std::chrono::steady_clock::time_point;

// Where the core and discovery read the time: the system's steady clock in the
// program, a clock the test moves in tests. Datagram sockets wait on their own
// (IDatagramSocket::ReceiveUntil); this waits for other threads' work.
class IClock {
  public:
    virtual ~IClock() = default;
    virtual SteadyTime Now() const = 0;
    // Waits on `changed` (with `lock` held on entry and on return) until `done`
    // is true or `deadline` passes on this clock; returns `done()`.
    virtual bool WaitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& changed,
                           SteadyTime deadline, const std::function<bool()>& done) const = 0;
};

// The system's steady clock; lives as long as the program.
const IClock& SystemClock();

} // namespace vexor
