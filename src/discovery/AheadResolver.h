#pragma once

#include "HostName.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vexor {

// Resolves machine names ahead of the walk: a name the sources report starts
// resolving at once on a worker thread, and the walk, asking later, finds the
// answer ready or waits for the one under way. Every answer, negative ones
// too, is kept until the next refresh begins, so each name is asked of the
// network once per refresh. Safe to use from several threads.
class AheadResolver {
  public:
    struct Answer {
        std::string canonicalName;
        std::vector<Ipv4> addresses;
    };
    // How a name is looked up; runs on the worker threads.
    using Lookup = std::function<Answer(const std::string& name)>;

    // Lookups under way at once: names that nobody answers cost one time-out
    // together rather than one each.
    static constexpr std::size_t kMaxInFlight = 64;
    // Names kept in one refresh; past this a name is looked up each time asked.
    static constexpr std::size_t kMaxNames = 8192;

    explicit AheadResolver(Lookup lookup);
    // Workers still looking a name up are left to end by themselves.
    ~AheadResolver();
    AheadResolver(const AheadResolver&) = delete;
    AheadResolver& operator=(const AheadResolver&) = delete;

    // The answer for `name`; waits for a lookup already under way.
    Answer Resolve(const std::string& name);
    // Starts resolving `name` in the background and returns at once.
    void Prefetch(const std::string& name);
    // True when `name` was asked or prefetched in this refresh.
    bool Known(const std::string& name) const;
    // A new refresh: answers given so far are asked afresh next time.
    void NewRound();

  private:
    struct State;
    std::shared_ptr<State> state_;
};

} // namespace vexor
