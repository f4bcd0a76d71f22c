#pragma once

#include "AheadResolver.h"
#include "NameAnswerCache.h"
#include "seams/Clock.h"
#include "seams/RefreshNames.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vexor {

// How a machine's address is found the way Windows finds it, under the
// refresh's deadline: first an address a discovery source reported for the
// name in this refresh; then the system resolver (hosts file, DNS, and on
// Windows its own NetBIOS); then, where the system has no local-link step of
// its own, the local link (NetBIOS broadcast and mDNS). Lookups run ahead on
// worker threads, so that the walk, asking later, finds the answer ready; each
// answer, negative ones too, is kept for one refresh.
class NameChain : public IRefreshNames {
  public:
    // The system resolver: nothing when it knows no address. It cannot be
    // interrupted; the chain stops waiting for it at the deadline.
    using SystemLookup = std::function<std::optional<NameAnswer>(const std::string& name)>;
    // The local link, asked last and only for names that are not fully
    // qualified (or are in ".local"); none: the system's step covers it.
    using LinkQuery =
        std::function<std::vector<Ipv4>(const std::string& name, SteadyTime deadline)>;

    NameChain(std::shared_ptr<NameAnswerCache> learnt, SystemLookup system, LinkQuery link = {},
              const IClock& clock = SystemClock());

    std::vector<Ipv4> Listed(const std::string& name) override { return learnt_->Answer(name); }
    bool Known(const std::string& name) const override { return ahead_.Known(name); }
    NameAnswer Resolve(const std::string& name) override;

    // Starts resolving `name` in the background and returns at once.
    void Prefetch(const std::string& name) { ahead_.Prefetch(name); }
    // A new refresh, whose names are answered by `deadline`: answers already
    // given are asked afresh.
    void BeginRefresh(SteadyTime deadline) { ahead_.NewRound(deadline); }

    // Where the neighbourhood's sources put the addresses they find.
    const std::shared_ptr<NameAnswerCache>& learnt() const { return learnt_; }

  private:
    std::shared_ptr<NameAnswerCache> learnt_;
    AheadResolver ahead_;
};

} // namespace vexor
