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

void MoveInto(std::vector<ResourceEntry>& into, std::vector<ResourceEntry>& read) {
    for (ResourceEntry& entry : read) {
        into.push_back(std::move(entry));
    }
}

} // namespace

std::uint32_t ReadContainer(INetworkEnumeration& network, const NetResource* container,
                            std::vector<ResourceEntry>& entries) {
    return ReadContainer(network, container,
                         [&](std::vector<ResourceEntry>& read) { MoveInto(entries, read); });
}

std::uint32_t ReadContainer(INetworkEnumeration& network, const NetResource* container,
                            const EntriesRead& read, SteadyTime deadline, const IClock& clock) {
    if (clock.Now() >= deadline) {
        return net::kNoError;
    }
    NetEnumHandle handle = nullptr;
    if (const auto status = network.openEnum(net::kScopeGlobalNet, net::kTypeAny, net::kUsageAll,
                                             container, &handle);
        status != net::kNoError) {
        return status;
    }
    const EnumerationCloser closer(network, handle);
    std::vector<NetResource> buffer(kFirstBuffer / sizeof(NetResource));
    std::size_t total = 0;
    while (total < kMaxEntriesPerContainer && clock.Now() < deadline) {
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
        std::vector<ResourceEntry> entries;
        for (std::int32_t i = 0; i < count && static_cast<std::size_t>(i) < buffer.size() &&
                                 total < kMaxEntriesPerContainer;
             ++i, ++total) {
            const NetResource& entry = buffer[static_cast<std::size_t>(i)];
            entries.push_back({entry.dwScope, entry.dwType, entry.dwDisplayType, entry.dwUsage,
                               Copy(entry.lpLocalName), Copy(entry.lpRemoteName),
                               Copy(entry.lpComment), Copy(entry.lpProvider)});
        }
        read(entries);
    }
    return net::kNoError;
}

void BrowseEnumeration(INetworkEnumeration& network, const FoundSink& found, SteadyTime deadline,
                       const IClock& clock) {
    std::vector<ResourceEntry> providers;
    ReadContainer(
        network, nullptr, [&](auto& read) { MoveInto(providers, read); }, deadline, clock);
    for (const ResourceEntry& provider : providers) {
        const NetResource providerRecord = Record(provider);
        std::vector<ResourceEntry> domains;
        ReadContainer(
            network, &providerRecord, [&](auto& read) { MoveInto(domains, read); }, deadline,
            clock);
        for (const ResourceEntry& domain : domains) {
            if (domain.displayType != net::kDisplayDomain || !domain.remoteName) {
                continue;
            }
            const NetResource domainRecord = Record(domain);
            // Each buffer's servers are reported as it is read: a domain that
            // takes long costs only its own machines.
            ReadContainer(
                network, &domainRecord,
                [&](std::vector<ResourceEntry>& servers) {
                    for (const ResourceEntry& server : servers) {
                        if (server.displayType == net::kDisplayServer && server.remoteName) {
                            found({MachineSource::BrowseList,
                                   WithoutBackslashes(*server.remoteName), *domain.remoteName});
                        }
                    }
                },
                deadline, clock);
        }
    }
}

} // namespace vexor
