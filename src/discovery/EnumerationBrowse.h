#pragma once

#include "MergedNetwork.h"
#include "Neighbourhood.h"
#include "platform/api/NetworkEnumeration.h"
#include "platform/common/ResourcePacker.h"

#include <vector>

namespace vexor {

// Every entry of `container` (null: the root) as the enumeration reads it, in
// buffers that grow when one entry does not fit.
std::uint32_t ReadContainer(INetworkEnumeration& network, const NetResource* container,
                            std::vector<ResourceEntry>& entries);

// The machines of a networking enumeration's browse list: every server of
// every domain of every provider, with its domain.
std::vector<FoundMachine> BrowseEnumeration(INetworkEnumeration& network);

// The browse list of a networking enumeration as a source of the merged neighbourhood.
class EnumerationSource : public INeighbourhoodSource {
  public:
    explicit EnumerationSource(std::unique_ptr<INetworkEnumeration> network)
        : network_(std::move(network)) {}
    void Find(const FoundSink& found, std::chrono::steady_clock::time_point /*deadline*/) override {
        for (FoundMachine& machine : BrowseEnumeration(*network_)) {
            found(std::move(machine));
        }
    }

  private:
    std::unique_ptr<INetworkEnumeration> network_;
};

} // namespace vexor
