#pragma once

#include "Clock.h"
#include "Ipv4.h"

#include <chrono>
#include <functional>
#include <string>
#include <type_traits>
#include <utility>

namespace vexor {

// Where a machine was found; the order is also the order of precedence for its
// name and workgroup. The first four are names a machine announces; the sweep
// finds machines that answer on the link, named by their node status if at all.
enum class MachineSource { BrowseList, WsDiscovery, DnsSd, Ssdp, Sweep };

struct FoundMachine {
    MachineSource source = MachineSource::BrowseList;
    // Empty when the source found a machine at `address` but no name for it.
    std::string name;
    // The workgroup or domain; empty when the source names none.
    std::string workgroup;
    // The address the source learnt for it; all zeros when it learnt none.
    Ipv4 address{};
};

// Where a source reports each machine as soon as it knows it, and withdraws
// one it reported earlier in the same refresh that has since left (an mDNS
// goodbye). Called from the source's own thread.
class FoundSink {
  public:
    using Callback = std::function<void(FoundMachine)>;

    FoundSink() = default;
    // A sink that takes reports only: withdrawals are ignored.
    template <typename Found>
    requires(!std::is_same_v<std::decay_t<Found>, FoundSink> &&
             std::is_invocable_v<Found&, FoundMachine>) FoundSink(Found found)
        : found_(std::move(found)) {}
    FoundSink(Callback found, Callback withdrawn)
        : found_(std::move(found)), withdrawn_(std::move(withdrawn)) {}

    void operator()(FoundMachine machine) const {
        if (found_) {
            found_(std::move(machine));
        }
    }
    // Takes back `machine`, exactly as it was reported: what the same source
    // reported for its address under another name, and what other sources
    // reported, stand.
    void Withdraw(FoundMachine machine) const {
        if (withdrawn_) {
            withdrawn_(std::move(machine));
        }
    }

  private:
    Callback found_;
    Callback withdrawn_;
};

// One way of finding the machines of the neighbourhood. Several run at the same
// time, each on a thread of its own.
class INeighbourhoodSource {
  public:
    virtual ~INeighbourhoodSource() = default;
    // Reports every machine found to `found` as soon as it is known, and returns
    // by `deadline` as far as the system lets it. A source that returns later is
    // left behind; it must not report after it returned.
    virtual void Find(const FoundSink& found, std::chrono::steady_clock::time_point deadline) = 0;
    // True while work that Find began goes on after it returned (a library call
    // abandoned at the deadline): tearing the process down would run under it.
    virtual bool Busy() const { return false; }
};

} // namespace vexor
