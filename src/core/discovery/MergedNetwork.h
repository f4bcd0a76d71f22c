#pragma once

#include "AddressNaming.h"
#include "AnnouncedAddresses.h"
#include "NameAnswerCache.h"
#include "Neighbourhood.h"
#include "base/ResourcePacker.h"
#include "seams/Clock.h"
#include "seams/NetworkEnumeration.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace vexor {

// What the rest of the program does as a refresh goes on.
struct RefreshHooks {
    // The root was opened: a new refresh begins, whose sources and names end
    // by the deadline given.
    std::function<void(SteadyTime deadline)> begin;
    // A source reported the machine listed as `name`; its address can be
    // looked for at once, so that the walk finds the answer ready.
    std::function<void(const std::string& name)> found;
};

// How the merge names the addresses the sources found, and which addresses
// are the machine's own (never listed).
struct AddressNaming {
    // Asked for every address any source reports; none: addresses that no
    // source named are listed as dotted addresses.
    std::shared_ptr<IAddressNamer> namer;
    std::function<std::vector<Ipv4>()> ownAddresses;
    // Filled afresh in each refresh with the addresses the sources other than
    // the sweep reported, for the sweep to count live; none: not kept.
    std::shared_ptr<AnnouncedAddresses> announced = {};
};

// The network neighbourhood as the walk sees it, merged from every source:
// the root holds one provider, the provider one container per workgroup or
// domain (and one last for machines of none), each container its machines as
// "\\NAME". Opening the root runs every source at once, and asks the names of
// every address they report, until all have ended or the refresh's deadline
// has passed. Each line's name then answers the walk's lookup with the address
// the machine was found at (see NameAnswerCache::Answer). A machine opens from what the sources
// found and lists nothing: no connection is made to it, so a firewalled or
// hostile machine costs nothing and is offered no credentials.
class MergedNetwork : public INetworkEnumeration {
  public:
    // The bound on one refresh's sources. A WS-Discovery client repeats its
    // Probe once after about 100 ms and its responders answer within 500 ms
    // (APP_MAX_DELAY); a device that gave no address takes a Resolve with the
    // same timing, and its metadata Get a few LAN round trips (about 1 ms each).
    // That is about 1.25 s in the slowest exchange the protocol allows; mDNS
    // responders answer within 120 ms, well inside it. The rest is margin for a
    // loaded network.
    static constexpr std::chrono::milliseconds kRefreshDeadline{1500};

    MergedNetwork(std::string providerName,
                  std::vector<std::shared_ptr<INeighbourhoodSource>> sources,
                  std::shared_ptr<NameAnswerCache> learnt, RefreshHooks hooks = {},
                  std::chrono::milliseconds deadline = kRefreshDeadline, AddressNaming naming = {},
                  const IClock& clock = SystemClock());

    std::uint32_t openEnum(std::uint32_t scope, std::uint32_t type, std::uint32_t usage,
                           const NetResource* container, NetEnumHandle* handle) override;
    std::uint32_t enumResource(NetEnumHandle handle, std::int32_t* count, void* buffer,
                               std::uint32_t* size) override;
    std::uint32_t closeEnum(NetEnumHandle handle) override;

    // True while a source of an earlier refresh is still running past its
    // deadline, still holds what it shared with it, or a name it asked is still
    // being asked (the program then ends without waiting for it and without
    // tearing libraries down).
    bool SourcesOverrunning() const;

  private:
    struct Slot {
        std::shared_ptr<INeighbourhoodSource> source;
        // Set while the source runs; a source still running from an earlier
        // refresh is not started again beside itself.
        std::shared_ptr<std::atomic<bool>> running;
        // Threads of the source that still hold what a refresh shared with them.
        std::shared_ptr<std::atomic<int>> holding;
    };
    struct Round;

    void Discover();
    std::uint32_t List(const NetResource& container, std::vector<ResourceEntry>& entries) const;

    std::string provider_;
    std::vector<Slot> sources_;
    std::shared_ptr<NameAnswerCache> learnt_;
    RefreshHooks hooks_;
    std::chrono::milliseconds deadline_;
    AddressNaming naming_;
    // Naming threads alive; a refresh ends without those whose answers cannot
    // change its lines.
    std::shared_ptr<std::atomic<std::size_t>> namersAlive_ =
        std::make_shared<std::atomic<std::size_t>>(0);
    const IClock& clock_;
    std::vector<NeighbourhoodGroup> groups_;
    // Every machine listed, as "\\\\NAME".
    std::set<std::string> servers_;
    std::map<std::uintptr_t, EntryListing> open_;
    std::uintptr_t nextHandle_ = 1;
};

} // namespace vexor
