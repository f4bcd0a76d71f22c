#pragma once

#include "core/discovery/AheadResolver.h"
#include "core/discovery/NameAnswerCache.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vexor {

// How a Linux machine finds another machine's address the way Windows does,
// under the refresh's deadline: first an address a discovery source reported
// for the name in this refresh; then the system resolver (hosts file, DNS,
// whatever nsswitch.conf names); then the local link (NetBIOS broadcast and
// mDNS). Answers, negative ones too, are kept for one refresh, and names can
// be resolved ahead in the background so that the caller who asks later finds
// the answer ready.
class PosixNameResolver {
  public:
    using Answer = AheadResolver::Answer;
    // The system resolver, or a stand-in in tests: nothing when it knows no
    // address. It cannot be interrupted; the resolver stops waiting for it at
    // the deadline.
    using SystemLookup = std::function<std::optional<Answer>(const std::string& name)>;
    // The last step of the chain: the local link, or a stand-in in tests.
    using LinkQuery =
        std::function<std::vector<Ipv4>(const std::string& name, SteadyTime deadline)>;

    explicit PosixNameResolver(
        std::shared_ptr<NameAnswerCache> learnt = std::make_shared<NameAnswerCache>(),
        LinkQuery linkQuery = {}, SystemLookup systemLookup = {},
        const IClock& clock = SystemClock());

    // The answer for `name`; waits for a resolution already under way, until
    // the deadline at most.
    Answer Resolve(const std::string& name);
    // Starts resolving `name` in the background and returns at once.
    void Prefetch(const std::string& name) { ahead_.Prefetch(name); }
    // A new refresh, whose names are answered by `deadline`: answers already
    // given are asked afresh.
    void BeginRefresh(SteadyTime deadline) { ahead_.NewRound(deadline); }

    NameAnswerCache& learnt() { return *learnt_; }
    const std::shared_ptr<NameAnswerCache>& learntShared() const { return learnt_; }

  private:
    std::shared_ptr<NameAnswerCache> learnt_;
    AheadResolver ahead_;
};

} // namespace vexor
