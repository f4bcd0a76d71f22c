#pragma once

#include "MergedNetwork.h"
#include "Neighbourhood.h"
#include "base/ResourcePacker.h"
#include "seams/NetworkEnumeration.h"

#include <chrono>
#include <functional>
#include <vector>

namespace vexor {

// Every entry of `container` (null: the root) as the enumeration reads it, in
// buffers that grow when one entry does not fit.
std::uint32_t ReadContainer(INetworkEnumeration& network, const NetResource* container,
                            std::vector<ResourceEntry>& entries);

// The same, handing each buffer's entries to `read` as they come; stops before
// the next read once `deadline` has passed on `clock`.
using EntriesRead = std::function<void(std::vector<ResourceEntry>&)>;
std::uint32_t ReadContainer(INetworkEnumeration& network, const NetResource* container,
                            const EntriesRead& read, SteadyTime deadline = SteadyTime::max(),
                            const IClock& clock = SystemClock());

// The machines of a networking enumeration's browse list: every server of
// every domain of every provider, with its domain, each reported to `found` as
// soon as it is read. No container is opened once `deadline` has passed.
void BrowseEnumeration(INetworkEnumeration& network, const FoundSink& found, SteadyTime deadline,
                       const IClock& clock = SystemClock());

// The browse list of a networking enumeration as a source of the merged
// neighbourhood. The system's calls cannot be cancelled: one that blocks past
// the deadline leaves the source behind, and what it reads then is dropped.
class EnumerationSource : public INeighbourhoodSource {
  public:
    explicit EnumerationSource(std::unique_ptr<INetworkEnumeration> network,
                               const IClock& clock = SystemClock())
        : network_(std::move(network)), clock_(clock) {}
    void Find(const FoundSink& found, std::chrono::steady_clock::time_point deadline) override {
        BrowseEnumeration(*network_, found, deadline, clock_);
    }

  private:
    std::unique_ptr<INetworkEnumeration> network_;
    const IClock& clock_;
};

} // namespace vexor
