#pragma once

#include "base/HostName.h"
#include "seams/Clock.h"
#include "seams/Ipv4.h"
#include "seams/RefreshNames.h"

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vexor {

// Resolves machine names ahead of the walk, under the refresh's deadline: a
// name the sources report starts resolving at once on a worker thread, and the
// walk, asking later, finds the answer ready or waits for the one under way,
// but never past the deadline: a lookup still running then (a silent DNS
// server) is abandoned, its name has no address, and its late answer is
// dropped. Every answer, negative ones too, is kept until the next refresh
// begins, so each name is asked of the network once per refresh. Safe to use
// from several threads.
class AheadResolver {
  public:
    using Answer = NameAnswer;
    // How a name is looked up; runs on the worker threads, and should give up
    // by `deadline` as far as what it calls allows.
    using Lookup = std::function<Answer(const std::string& name, SteadyTime deadline)>;

    // Lookups under way at once: names that nobody answers cost one time-out
    // together rather than one each.
    static constexpr std::size_t kMaxInFlight = 64;
    // Names kept in one refresh; past this a name is not looked up.
    static constexpr std::size_t kMaxNames = 8192;
    // The bound of a name asked outside a refresh (or after its deadline):
    // a refresh's own.
    static constexpr std::chrono::milliseconds kLoneBound{1500};

    explicit AheadResolver(Lookup lookup, const IClock& clock = SystemClock());
    // Workers still looking a name up are left to end by themselves.
    ~AheadResolver();
    AheadResolver(const AheadResolver&) = delete;
    AheadResolver& operator=(const AheadResolver&) = delete;

    // The answer for `name`; waits for its lookup until the deadline at most.
    Answer Resolve(const std::string& name);
    // Starts resolving `name` in the background and returns at once.
    void Prefetch(const std::string& name);
    // True when `name` was asked or prefetched in this refresh.
    bool Known(const std::string& name) const;
    // A new refresh, whose names are answered by `deadline`: answers given
    // so far are asked afresh next time.
    void NewRound(SteadyTime deadline);

  private:
    struct State;
    std::shared_ptr<State> state_;
};

} // namespace vexor
