#include "MergedNetwork.h"

#include <system_error>
#include <thread>

namespace vexor {

MergedNetwork::MergedNetwork(std::string providerName,
                             std::vector<std::unique_ptr<INeighbourhoodSource>> sources,
                             ShareLister shares)
    : provider_(std::move(providerName)), sources_(std::move(sources)), shares_(std::move(shares)) {
}

void MergedNetwork::Discover() {
    std::vector<std::vector<FoundMachine>> results(sources_.size());
    std::vector<std::thread> running;
    for (std::size_t i = 0; i < sources_.size(); ++i) {
        try {
            running.emplace_back([this, &results, i] { results[i] = sources_[i]->Find(); });
        } catch (const std::system_error&) {
            // No thread to be had: this source runs here, after the others started.
            results[i] = sources_[i]->Find();
        }
    }
    for (auto& thread : running) {
        thread.join();
    }
    std::vector<FoundMachine> all;
    for (auto& result : results) {
        all.insert(all.end(), std::make_move_iterator(result.begin()),
                   std::make_move_iterator(result.end()));
    }
    groups_ = MergeNeighbourhood(all);
}

std::uint32_t MergedNetwork::List(const NetResource& container,
                                  std::vector<ResourceEntry>& entries) {
    const std::string remote = container.lpRemoteName;
    auto entry = [&](std::uint32_t displayType, std::uint32_t usage, std::string name) {
        ResourceEntry made;
        made.displayType = displayType;
        made.usage = usage;
        made.remoteName = std::move(name);
        made.provider = provider_;
        entries.push_back(std::move(made));
    };
    switch (container.dwDisplayType) {
    case net::kDisplayNetwork:
        for (const auto& group : groups_) {
            entry(net::kDisplayDomain, net::kUsageContainer, group.name);
        }
        return net::kNoError;
    case net::kDisplayDomain:
        for (const auto& group : groups_) {
            if (group.name == remote) {
                for (const auto& machine : group.machines) {
                    entry(net::kDisplayServer, net::kUsageContainer, "\\\\" + machine);
                }
                return net::kNoError;
            }
        }
        return net::kErrorBadNetPath;
    case net::kDisplayServer: {
        const std::size_t start = remote.find_first_not_of('\\');
        return shares_(start == std::string::npos ? std::string() : remote.substr(start), entries);
    }
    default:
        return net::kErrorNotContainer;
    }
}

std::uint32_t MergedNetwork::openEnum(std::uint32_t /*scope*/, std::uint32_t /*type*/,
                                      std::uint32_t /*usage*/, const NetResource* container,
                                      NetEnumHandle* handle) {
    if (handle == nullptr) {
        return net::kErrorInvalidParameter;
    }
    Listing listing;
    if (container == nullptr || container->lpRemoteName == nullptr) {
        Discover();
        ResourceEntry provider;
        provider.displayType = net::kDisplayNetwork;
        provider.usage = net::kUsageContainer;
        provider.remoteName = provider_;
        provider.provider = provider_;
        listing.entries.push_back(std::move(provider));
    } else if (const std::uint32_t status = List(*container, listing.entries);
               status != net::kNoError) {
        return status;
    }
    const std::uintptr_t id = nextHandle_++;
    open_.emplace(id, std::move(listing));
    *handle = reinterpret_cast<NetEnumHandle>(id);
    return net::kNoError;
}

std::uint32_t MergedNetwork::enumResource(NetEnumHandle handle, std::int32_t* count, void* buffer,
                                          std::uint32_t* size) {
    const auto found = open_.find(reinterpret_cast<std::uintptr_t>(handle));
    if (found == open_.end() || count == nullptr || size == nullptr) {
        return net::kErrorInvalidHandle;
    }
    return ReadResources(found->second.entries, found->second.next, count, buffer, size);
}

std::uint32_t MergedNetwork::closeEnum(NetEnumHandle handle) {
    return open_.erase(reinterpret_cast<std::uintptr_t>(handle)) == 1 ? net::kNoError
                                                                      : net::kErrorInvalidHandle;
}

} // namespace vexor
