#include "Win32Neighbourhood.h"

#include "backends/win32/Win32Adapters.h"
#include "backends/win32/Win32Discovery.h"
#include "backends/win32/Win32NeighbourTable.h"
#include "backends/win32/Win32Network.h"
#include "core/discovery/AddressNamer.h"
#include "core/discovery/DnsSdBrowser.h"
#include "core/discovery/EnumerationBrowse.h"
#include "core/discovery/SsdpClient.h"
#include "core/discovery/SweepSource.h"
#include "core/discovery/WsdClient.h"

namespace vexor::win32 {

// The provider the merged root lists; the walk never shows its name.
constexpr const char* kProviderName = "Microsoft Windows Network";

std::unique_ptr<MergedNetwork> MakeWin32Network(std::shared_ptr<NameAnswerCache> learnt,
                                                RefreshHooks hooks, bool sweep) {
    std::vector<std::shared_ptr<INeighbourhoodSource>> sources;
    // Each source runs on a thread of its own with an enumeration of its own.
    sources.push_back(std::make_shared<EnumerationSource>(std::make_unique<Win32Network>()));
    sources.push_back(std::make_shared<WsdSource>(Win32DiscoverySeams()));
    // DNS-SD by this program's own one-shot mDNS queries: the same on every
    // Windows version, with or without the system's DnsServiceBrowse.
    sources.push_back(std::make_shared<DnsSdBrowserSource>(Win32DiscoverySeams()));
    sources.push_back(std::make_shared<SsdpSource>(Win32DiscoverySeams()));
    const auto announced = std::make_shared<AnnouncedAddresses>();
    if (sweep) {
        sources.push_back(std::make_shared<SweepSource>(
            Win32DiscoverySeams(), NeighbourSeams{AdapterInterfaces, ReadIpNetTable},
            NetbiosCodePage(), SweepTiming{}, announced));
    }
    return std::make_unique<MergedNetwork>(
        kProviderName, std::move(sources), std::move(learnt), std::move(hooks),
        MergedNetwork::kRefreshDeadline,
        AddressNaming{std::make_shared<AddressNamer>(Win32DiscoverySeams(), AdapterDnsServers,
                                                     NetbiosCodePage()),
                      AdapterAddresses, announced});
}

} // namespace vexor::win32
