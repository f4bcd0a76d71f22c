#pragma once

#include "DiscoverySeams.h"
#include "MergedNetwork.h"
#include "NameAnswerCache.h"
#include "Neighbourhood.h"

#include <chrono>
#include <memory>
#include <vector>

namespace vexor {

struct WsdTiming {
    // How long ProbeMatches are collected; responders answer within 500 ms.
    std::chrono::milliseconds probeWindow{600};
    // How long a Resolve sent late in the window may still be answered.
    std::chrono::milliseconds resolveGrace{250};
    // The limit of each metadata Get.
    std::chrono::milliseconds getLimit{700};
    // Gets made at the same time.
    std::size_t parallelGets = 16;
    // Devices handled; a network that answers with more is cut here.
    std::size_t maxDevices = 256;
};

// Finds the computers that answer WS-Discovery on every interface: a Probe for
// devices, a Resolve for each match that gave no address, then each device's
// metadata, read for the computer it hosts. Devices that host no computer
// (printers, media players) are left out. Every computer's address goes into
// `learnt`, so that its name resolves.
std::vector<FoundMachine> DiscoverWsdComputers(const DiscoverySeams& seams, NameAnswerCache& learnt,
                                               const WsdTiming& timing = {});

// WS-Discovery as a source of the merged neighbourhood.
class WsdSource : public INeighbourhoodSource {
  public:
    WsdSource(DiscoverySeams seams, std::shared_ptr<NameAnswerCache> learnt)
        : seams_(std::move(seams)), learnt_(std::move(learnt)) {}
    std::vector<FoundMachine> Find() override { return DiscoverWsdComputers(seams_, *learnt_); }

  private:
    DiscoverySeams seams_;
    std::shared_ptr<NameAnswerCache> learnt_;
};

} // namespace vexor
