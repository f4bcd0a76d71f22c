#include "EnumerationBrowse.h"

#include <algorithm>

namespace vexor {
namespace {

constexpr std::uint32_t kFirstBuffer = 16 * 1024;
constexpr std::uint32_t kLargestBuffer = 1024 * 1024;

std::optional<std::string> Copy(const char* text) {
    return text == nullptr ? std::nullopt : std::optional<std::string>(text);
}

NetResource Record(const ResourceEntry& entry) {
    NetResource record{entry.scope, entry.type, entry.displayType, entry.usage,
                       nullptr,     nullptr,    nullptr,           nullptr};
    // The entry outlives every open that reads the record.
    record.lpRemoteName = entry.remoteName ? const_cast<char*>(entry.remoteName->c_str()) : nullptr;
    record.lpProvider = entry.provider ? const_cast<char*>(entry.provider->c_str()) : nullptr;
    return record;
}

} // namespace

std::uint32_t ReadContainer(INetworkEnumeration& network, const NetResource* container,
                            std::vector<ResourceEntry>& entries) {
    NetEnumHandle handle = nullptr;
    if (const auto status = network.openEnum(net::kScopeGlobalNet, net::kTypeAny, net::kUsageAll,
                                             container, &handle);
        status != net::kNoError) {
        return status;
    }
    const EnumerationCloser closer(network, handle);
    std::vector<NetResource> buffer(kFirstBuffer / sizeof(NetResource));
    while (entries.size() < kMaxEntriesPerContainer) {
        std::int32_t count = -1;
        auto size = static_cast<std::uint32_t>(buffer.size() * sizeof(NetResource));
        const std::uint32_t status = network.enumResource(handle, &count, buffer.data(), &size);
        if (status == net::kErrorMoreData && size > buffer.size() * sizeof(NetResource) &&
            size <= kLargestBuffer) {
            buffer.resize(size / sizeof(NetResource) + 1);
            continue;
        }
        if (status != net::kNoError || count <= 0) {
            return status == net::kErrorNoMoreItems ? net::kNoError : status;
        }
        for (std::int32_t i = 0; i < count && static_cast<std::size_t>(i) < buffer.size(); ++i) {
            const NetResource& read = buffer[static_cast<std::size_t>(i)];
            entries.push_back({read.dwScope, read.dwType, read.dwDisplayType, read.dwUsage,
                               Copy(read.lpLocalName), Copy(read.lpRemoteName),
                               Copy(read.lpComment), Copy(read.lpProvider)});
        }
    }
    return net::kNoError;
}

std::vector<FoundMachine> BrowseEnumeration(INetworkEnumeration& network) {
    std::vector<FoundMachine> found;
    std::vector<ResourceEntry> providers;
    ReadContainer(network, nullptr, providers);
    for (const ResourceEntry& provider : providers) {
        const NetResource providerRecord = Record(provider);
        std::vector<ResourceEntry> domains;
        ReadContainer(network, &providerRecord, domains);
        for (const ResourceEntry& domain : domains) {
            if (domain.displayType != net::kDisplayDomain || !domain.remoteName) {
                continue;
            }
            const NetResource domainRecord = Record(domain);
            std::vector<ResourceEntry> servers;
            ReadContainer(network, &domainRecord, servers);
            for (const ResourceEntry& server : servers) {
                if (server.displayType == net::kDisplayServer && server.remoteName) {
                    found.push_back({MachineSource::BrowseList,
                                     WithoutBackslashes(*server.remoteName), *domain.remoteName});
                }
            }
        }
    }
    return found;
}

} // namespace vexor
