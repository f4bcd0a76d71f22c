#pragma once

#include "AnnouncedAddresses.h"
#include "MergedNetwork.h"
#include "QueryEngine.h"
#include "base/OemCodePage.h"
#include "seams/DiscoverySeams.h"
#include "seams/NeighbourTable.h"

#include <chrono>
#include <memory>

namespace vexor {

// How the sweep spends its time; the tests shorten nothing, they only read it.
struct SweepTiming {
    // Each address is asked its node status on this schedule.
    QuerySchedule nodeStatus{{std::chrono::milliseconds(0), std::chrono::milliseconds(100)},
                             std::chrono::milliseconds(150)};
    // The neighbour table is read this long after the sweep starts, then at
    // twice the previous interval, up to `lastReadInterval`.
    std::chrono::milliseconds firstRead{10};
    std::chrono::milliseconds lastReadInterval{100};
    QueryPacing pacing{};
};

// The machines of the directly connected subnets, found without privileges:
// one NetBIOS node-status request to each address the sweep plan names (see
// PlanSweep), paced, through the query engine; the kernel's neighbour table,
// read as the answers come, then says which addresses are live machines (see
// IsLiveNeighbour). An address answered in this refresh when it sent its node
// status, when it said with a port unreachable that nothing listens on port
// 137, or when another source announced it (`announced`). Each is reported as
// soon as it is known, with the unique and group <00> names of its node status
// when it answered (reported again when the name comes after the address),
// else with no name.
class SweepSource : public INeighbourhoodSource {
  public:
    SweepSource(DiscoverySeams seams, NeighbourSeams neighbours, const IOemCodePage& codePage,
                SweepTiming timing = {},
                std::shared_ptr<const AnnouncedAddresses> announced = nullptr);
    void Find(const FoundSink& found, SteadyTime deadline) override;

  private:
    DiscoverySeams seams_;
    NeighbourSeams neighbours_;
    const IOemCodePage& codePage_;
    SweepTiming timing_;
    std::shared_ptr<const AnnouncedAddresses> announced_;
};

} // namespace vexor
