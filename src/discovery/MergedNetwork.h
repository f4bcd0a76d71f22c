#pragma once

#include "Neighbourhood.h"
#include "platform/NetworkEnumeration.h"
#include "platform/ResourcePacker.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace vexor {

// One way of finding the machines of the neighbourhood. Each keeps to its own
// time limit; several run at the same time.
class INeighbourhoodSource {
  public:
    virtual ~INeighbourhoodSource() = default;
    virtual std::vector<FoundMachine> Find() = 0;
};

// Lists the shares of one server into `entries` as enumeration entries; a
// Windows error when the server cannot be read.
using ShareLister =
    std::function<std::uint32_t(const std::string& server, std::vector<ResourceEntry>& entries)>;

// The network neighbourhood as the walk sees it, merged from every source:
// the root holds one provider, the provider one container per workgroup or
// domain (and one last for machines of none), each container its machines as
// "\\NAME", each machine its shares. Opening the root runs every source at once
// and waits for them all.
class MergedNetwork : public INetworkEnumeration {
  public:
    MergedNetwork(std::string providerName,
                  std::vector<std::unique_ptr<INeighbourhoodSource>> sources, ShareLister shares);

    std::uint32_t openEnum(std::uint32_t scope, std::uint32_t type, std::uint32_t usage,
                           const NetResource* container, NetEnumHandle* handle) override;
    std::uint32_t enumResource(NetEnumHandle handle, std::int32_t* count, void* buffer,
                               std::uint32_t* size) override;
    std::uint32_t closeEnum(NetEnumHandle handle) override;

  private:
    struct Listing {
        std::vector<ResourceEntry> entries;
        std::size_t next = 0;
    };

    void Discover();
    std::uint32_t List(const NetResource& container, std::vector<ResourceEntry>& entries);

    std::string provider_;
    std::vector<std::unique_ptr<INeighbourhoodSource>> sources_;
    ShareLister shares_;
    std::vector<NeighbourhoodGroup> groups_;
    std::map<std::uintptr_t, Listing> open_;
    std::uintptr_t nextHandle_ = 1;
};

} // namespace vexor
