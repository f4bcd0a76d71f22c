#pragma once

#include "MergedNetwork.h"
#include "seams/DiscoverySeams.h"

#include <chrono>
#include <memory>
#include <optional>
#include <vector>

namespace vexor {

// The socket a multicast protocol asks through and the interfaces it asks on.
struct MulticastLink {
    std::vector<Ipv4> interfaces;
    std::unique_ptr<IDatagramSocket> socket;
};

// Opens the link over the seams; nothing when the machine has no interface to
// ask on or no socket can be had.
inline std::optional<MulticastLink> OpenMulticastLink(const DiscoverySeams& seams) {
    MulticastLink link{seams.interfaces(), nullptr};
    if (link.interfaces.empty() || !(link.socket = seams.openSocket())) {
        return std::nullopt;
    }
    return link;
}

// A discovery protocol over the seams as a source of the merged neighbourhood:
// each Find runs `Discover` with the seams and timing the source was made with.
template <typename Timing, void (*Discover)(const DiscoverySeams&, const FoundSink&,
                                            std::chrono::steady_clock::time_point, const Timing&)>
class ProtocolSource : public INeighbourhoodSource {
  public:
    explicit ProtocolSource(DiscoverySeams seams, Timing timing = {})
        : seams_(std::move(seams)), timing_(timing) {}
    void Find(const FoundSink& found, std::chrono::steady_clock::time_point deadline) override {
        Discover(seams_, found, deadline, timing_);
    }

  private:
    DiscoverySeams seams_;
    Timing timing_;
};

} // namespace vexor
