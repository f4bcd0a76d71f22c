#pragma once

#include "discovery/AheadResolver.h"
#include "discovery/NameAnswerCache.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vexor {

// How a Linux machine finds another machine's address the way Windows does: the
// system resolver first (hosts file, DNS, whatever nsswitch.conf names); when it
// knows nothing, the addresses learnt from the network; then the local link
// (NetBIOS broadcast and mDNS). Answers, negative ones too, are kept for one
// refresh, and names can be resolved ahead in the background so that the
// caller who asks later finds the answer ready.
class PosixNameResolver {
  public:
    using Answer = AheadResolver::Answer;
    // The last step of the chain: the local link, or a stand-in in tests.
    using LinkQuery = std::function<std::vector<Ipv4>(const std::string& name)>;

    explicit PosixNameResolver(
        std::shared_ptr<NameAnswerCache> learnt = std::make_shared<NameAnswerCache>(),
        LinkQuery linkQuery = {});

    // The answer for `name`; waits for a resolution already under way.
    Answer Resolve(const std::string& name);
    // Starts resolving `name` in the background and returns at once.
    void Prefetch(const std::string& name) { ahead_.Prefetch(name); }
    // A new refresh: answers already given are asked afresh next time.
    void ForgetAnswers() { ahead_.NewRound(); }

    NameAnswerCache& learnt() { return *learnt_; }
    const std::shared_ptr<NameAnswerCache>& learntShared() const { return learnt_; }

  private:
    std::shared_ptr<NameAnswerCache> learnt_;
    AheadResolver ahead_;
};

} // namespace vexor
